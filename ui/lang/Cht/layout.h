#include "ui/lang/layout_cjk.h"
