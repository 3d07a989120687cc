#include "tests/support/win9x_exports.h"

#include <setupapi.h>

#include <cstring>

namespace {

// As 9x's stubs answer: nothing done, 0 returned (FALSE, NULL), ERROR_CALL_NOT_IMPLEMENTED.
template <typename R, typename... Args>
R WINAPI NotImplemented(Args...) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return R();
}

// Typed from the real declaration, so that the stub takes its arguments off the stack as the
// caller expects; only the type is taken, so that nothing is imported for it.
template <typename R, typename... Args>
FARPROC StubOf(R(WINAPI*)(Args...)) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&NotImplemented<R, Args...>));
}
#define QV_STUB(call) {#call, StubOf(static_cast<decltype(&call)>(nullptr))}

struct Export {
    const char* name;
    FARPROC stub;  // nullptr: not exported at all
};

const Export kExports[] = {
    // kernel32: Microsoft's KB Q129532 on MoveFileEx.
    QV_STUB(MoveFileExA),
    // advapi32: "security and event logging" and the services are stub routines on 9x
    // (Windows 95 General Limitations, MSDN 1998).
    QV_STUB(OpenSCManagerA),
    QV_STUB(CreateServiceA),
    QV_STUB(OpenServiceA),
    QV_STUB(StartServiceA),
    QV_STUB(ControlService),
    QV_STUB(DeleteService),
    QV_STUB(CloseServiceHandle),
    QV_STUB(OpenProcessToken),
    QV_STUB(LookupPrivilegeValueA),
    QV_STUB(AdjustTokenPrivileges),
    QV_STUB(SetKernelObjectSecurity),
    // setupapi: the wide version of most calls is a stub on 9x (the same page); the ANSI device
    // calls 98 carries are not used.
    QV_STUB(SetupDiGetClassDevsW),
    QV_STUB(SetupDiGetDeviceRegistryPropertyW),
    QV_STUB(SetupDiSetClassInstallParamsW),
    // Windows 2000 and later; XP SP2 and later; XP SP1 and later; 8 and later.
    {"ConvertStringSecurityDescriptorToSecurityDescriptorA", nullptr},
    {"IsWow64Process", nullptr},
    {"SetDllDirectoryA", nullptr},
    {"SetDefaultDllDirectories", nullptr},
};

}  // namespace

bool Win9xExport(LPCSTR name, FARPROC* proc) {
    for (const Export& e : kExports) {
        if (strcmp(e.name, name) == 0) {
            *proc = e.stub;
            return true;
        }
    }
    return false;
}
