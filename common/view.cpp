#include "common/view.h"

View* view = nullptr;
