/* simhw.sys: a WDM relay for the simulated notebook. It creates the access drivers' devices
 * and hands every DeviceIoControl to simhw.exe over a named pipe. Only ntoskrnl is imported:
 * Wine does not load a driver that imports kernel32. */
#include <ntddk.h>

#include "relay_protocol.h"


typedef struct {
    const wchar_t* device;
    const wchar_t* directory; /* an object directory the link lives in, or NULL */
    const wchar_t* link;
    unsigned int kind;
} RelayDevice;

static const RelayDevice kDevices[] = {
    {L"\\Device\\QvSimAddmem", NULL, L"\\DosDevices\\ADDMEM", QV_RELAY_ADDMEM},
    {L"\\Device\\QvSimVexa", L"\\DosDevices\\VEXA", L"\\DosDevices\\VEXA\\VexaDrv.log", QV_RELAY_VEXA},
    {L"\\Device\\QvSimKmdf", L"\\DosDevices\\KMDFMEMIO", L"\\DosDevices\\KMDFMEMIO\\kmdfmemiosamp.log",
     QV_RELAY_KMDF},
    {L"\\Device\\QvSimMemio", NULL, L"\\DosDevices\\MEMIO.VXD", QV_RELAY_MEMIO},
    {L"\\Device\\QvSimSmartVsd", NULL, L"\\DosDevices\\SMARTVSD", QV_RELAY_SMARTVSD},
};
#define DEVICE_COUNT (sizeof kDevices / sizeof kDevices[0])

static HANDLE g_directories[DEVICE_COUNT];

typedef struct {
    unsigned int kind;
} RelayExtension;

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI DispatchOpenClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS PipeIo(HANDLE pipe, int write, void* bytes, ULONG size) {
    IO_STATUS_BLOCK io;
    NTSTATUS status;
    while (size > 0) {
        status = write ? ZwWriteFile(pipe, NULL, NULL, NULL, &io, bytes, size, NULL, NULL)
                       : ZwReadFile(pipe, NULL, NULL, NULL, &io, bytes, size, NULL, NULL);
        if (!NT_SUCCESS(status) || io.Information == 0) return STATUS_PIPE_BROKEN;
        bytes = (char*)bytes + io.Information;
        size -= (ULONG)io.Information;
    }
    return STATUS_SUCCESS;
}

static NTSTATUS OpenPipe(HANDLE* pipe) {
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    IO_STATUS_BLOCK io;
    RtlInitUnicodeString(&name, L"\\??\\pipe\\" QV_RELAY_PIPE_WIDE);
    InitializeObjectAttributes(&attributes, &name, OBJ_KERNEL_HANDLE | OBJ_CASE_INSENSITIVE, NULL, NULL);
    return ZwCreateFile(pipe, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, NULL, 0, 0,
                        FILE_OPEN, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, NULL, 0);
}

/* One request to simhw.exe and its answer, into the IRP's system buffer. */
static NTSTATUS NTAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    RelayExtension* extension = (RelayExtension*)device->DeviceExtension;
    struct QvRelayRequest request;
    struct QvRelayAnswer answer;
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    HANDLE pipe;
    NTSTATUS status;

    request.magic = QV_RELAY_MAGIC;
    request.device = extension->kind;
    request.code = stack->Parameters.DeviceIoControl.IoControlCode;
    request.inSize = stack->Parameters.DeviceIoControl.InputBufferLength;
    request.outSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
    /* The caller's process: under Wine the request is dispatched for it, so this names it
     * (IoGetRequestorProcessId is not implemented there). */
    request.processId = (unsigned int)(ULONG_PTR)PsGetCurrentProcessId();
    if (request.inSize > QV_RELAY_LARGEST || request.outSize > QV_RELAY_LARGEST ||
        ((request.inSize || request.outSize) && buffer == NULL)) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    status = OpenPipe(&pipe);
    if (!NT_SUCCESS(status)) return Complete(irp, STATUS_DEVICE_NOT_READY, 0);
    status = PipeIo(pipe, 1, &request, sizeof request);
    if (NT_SUCCESS(status) && request.inSize) status = PipeIo(pipe, 1, buffer, request.inSize);
    if (NT_SUCCESS(status)) status = PipeIo(pipe, 0, &answer, sizeof answer);
    if (NT_SUCCESS(status) && (answer.magic != QV_RELAY_MAGIC || answer.returned > request.outSize)) {
        status = STATUS_INVALID_PARAMETER;
    }
    if (NT_SUCCESS(status) && answer.returned) status = PipeIo(pipe, 0, buffer, answer.returned);
    ZwClose(pipe);
    if (!NT_SUCCESS(status)) return Complete(irp, STATUS_DEVICE_NOT_READY, 0);
    return Complete(irp, answer.ok ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER, answer.ok ? answer.returned : 0);
}

static NTSTATUS MakeDirectory(const wchar_t* path, HANDLE* directory) {
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    RtlInitUnicodeString(&name, path);
    InitializeObjectAttributes(&attributes, &name, OBJ_KERNEL_HANDLE | OBJ_CASE_INSENSITIVE | OBJ_OPENIF,
                               NULL, NULL);
    return ZwCreateDirectoryObject(directory, DIRECTORY_ALL_ACCESS, &attributes);
}

/* The real ADDMEM can be stopped, and a stopped driver no longer holds its file: links,
 * directories and devices go with it. */
static VOID NTAPI DriverUnload(PDRIVER_OBJECT driver) {
    unsigned int i;
    for (i = 0; i < DEVICE_COUNT; ++i) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, kDevices[i].link);
        IoDeleteSymbolicLink(&link);
        if (g_directories[i]) ZwClose(g_directories[i]);
        g_directories[i] = NULL;
    }
    while (driver->DeviceObject) IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    unsigned int i;
    (void)registryPath;
    driver->DriverUnload = DriverUnload;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    for (i = 0; i < DEVICE_COUNT; ++i) {
        UNICODE_STRING name, link;
        PDEVICE_OBJECT device;
        NTSTATUS status;
        RtlInitUnicodeString(&name, kDevices[i].device);
        status = IoCreateDevice(driver, sizeof(RelayExtension), &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
        if (!NT_SUCCESS(status)) return status;
        ((RelayExtension*)device->DeviceExtension)->kind = kDevices[i].kind;
        device->Flags |= DO_BUFFERED_IO;
        device->Flags &= ~DO_DEVICE_INITIALIZING;
        if (kDevices[i].directory) MakeDirectory(kDevices[i].directory, &g_directories[i]);
        RtlInitUnicodeString(&link, kDevices[i].link);
        IoCreateSymbolicLink(&link, &name);
    }
    return STATUS_SUCCESS;
}
