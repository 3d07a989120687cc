#include "ui/lang/layout_wide.h"
