// Mouse and keyboard held off while the firmware is rewritten: the mouse-class devices through
// the setup API, the keyboard controller's two interfaces through its command set.
#pragma once
#include <windows.h>
#include <setupapi.h>

// Mouse and keyboard off for the update.
void SuppressInput(void);
// Mouse and keyboard on again, only when SuppressInput turned them off and only once; the
// keyboard through the driver this run already brought up, never one an end would have to load.
void RestoreInput(void);

// Disables (false) or enables (true) every present, disableable device of a class whose name
// begins with "mouse"; enabling also takes in the devices the last disabling pass disabled.
void SetMouseDevicesEnabled(bool enable);

// The class name of the device into *buffer (grown with LocalAlloc as the setup API asks);
// false when the device has no class or the setup API keeps refusing.
bool GetDeviceClassName(HDEVINFO set, SP_DEVINFO_DATA* device, wchar_t** buffer, DWORD* size);
bool IsDeviceDisableable(const SP_DEVINFO_DATA& device);
bool ChangeDeviceState(DWORD state, SP_DEVINFO_DATA* device, HDEVINFO set);

void KeyboardOff(void);
void KeyboardOn(void);
