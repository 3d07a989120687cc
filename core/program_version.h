// The program's version: its version resource and the first line of every run's log.
#pragma once

#define QV_VERSION_NUMBERS 1, 0, 0, 0
#define QV_VERSION_TEXT "1.0.0.0"
