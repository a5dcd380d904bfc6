// The compiled form of the test programs' shared precompiled headers is made
// with this file's target; the file itself holds nothing.
