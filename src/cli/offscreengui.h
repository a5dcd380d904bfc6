#pragma once
// The GUI application that fonts and painting need. Without a display it
// runs on the offscreen platform, so the drawing commands work on any
// machine.

#include <QGuiApplication>

#include <memory>

namespace kestrava::cli {

std::unique_ptr<QGuiApplication> StartGui();

}  // namespace kestrava::cli
