#include "pricing/Models.h"
