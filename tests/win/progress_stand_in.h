// A plain window standing in for the progress window: records the messages it is sent.
#pragma once
#include <windows.h>

// Created on the calling thread; records "StopAnimation" for each message 1026.
HWND CreateProgressStandIn();
