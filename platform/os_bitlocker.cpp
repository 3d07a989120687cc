// BitLocker through WMI's Win32_EncryptableVolume rather than a command-line tool, whose text
// follows the display language. Each call holds its own conversation with the provider and ends
// it before returning.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <cwchar>

#include "platform/os.h"

namespace {

// COM and its automation types are looked up, never imported: only Windows 8 and later get this
// far, and Windows 98 must still be able to load the program.
struct ComCalls {
    decltype(&CoInitializeEx) initialize;
    decltype(&CoUninitialize) uninitialize;
    decltype(&CoCreateInstance) createInstance;
    decltype(&CoSetProxyBlanket) setProxyBlanket;
    decltype(&SysAllocString) allocString;
    decltype(&SysFreeString) freeString;
    decltype(&VariantInit) variantInit;
    decltype(&VariantClear) variantClear;
    decltype(&SafeArrayGetLBound) lowerBound;
    decltype(&SafeArrayGetUBound) upperBound;
};

template <typename Fn>
void Find(const char* dll, const char* name, Fn* call) {
    *call = OsLookup<Fn>(dll, name);
}

// The calls, or nullptr when any one is missing.
const ComCalls* Com() {
    static ComCalls calls;
    Find("ole32.dll", "CoInitializeEx", &calls.initialize);
    Find("ole32.dll", "CoUninitialize", &calls.uninitialize);
    Find("ole32.dll", "CoCreateInstance", &calls.createInstance);
    Find("ole32.dll", "CoSetProxyBlanket", &calls.setProxyBlanket);
    Find("oleaut32.dll", "SysAllocString", &calls.allocString);
    Find("oleaut32.dll", "SysFreeString", &calls.freeString);
    Find("oleaut32.dll", "VariantInit", &calls.variantInit);
    Find("oleaut32.dll", "VariantClear", &calls.variantClear);
    Find("oleaut32.dll", "SafeArrayGetLBound", &calls.lowerBound);
    Find("oleaut32.dll", "SafeArrayGetUBound", &calls.upperBound);
    bool found = calls.initialize && calls.uninitialize && calls.createInstance && calls.setProxyBlanket &&
                 calls.allocString && calls.freeString && calls.variantInit && calls.variantClear &&
                 calls.lowerBound && calls.upperBound;
    return found ? &calls : nullptr;
}

constexpr long kEnumerationWaitMs = 30000;  // a local query answers in well under a second
// The key protector types that involve the TPM: alone, with PIN, with startup key, with both.
const LONG kTpmProtectorTypes[] = {1, 4, 5, 6};
// WMI's codes are enumerators: as HRESULTs once, here.
const HRESULT kNotFound = static_cast<HRESULT>(WBEM_E_NOT_FOUND);
const HRESULT kTimedOut = static_cast<HRESULT>(WBEM_E_TIMED_OUT);
const HRESULT kNoPath = static_cast<HRESULT>(WBEM_E_INVALID_OBJECT_PATH);
const HRESULT kNotANumber = static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);

struct Conversation {
    bool comStarted;  // ours to undo
    IWbemServices* services;
    BSTR volumePath;  // nullptr: the drive is not an encryptable volume
};

template <typename T>
void ReleaseOnce(T** object) {
    if (*object) (*object)->Release();
    *object = nullptr;
}

// Our identity travels to the WMI service, and encrypted: this namespace asks for privacy.
HRESULT SecureProxy(IUnknown* proxy) {
    return Com()->setProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

// A uint32 property or out-parameter (WMI hands them over as VT_I4).
HRESULT ReadNumber(IWbemClassObject* object, const wchar_t* name, LONG* value) {
    VARIANT content;
    Com()->variantInit(&content);
    HRESULT hr = object->Get(name, 0, &content, nullptr, nullptr);
    if (hr == S_OK && content.vt != VT_I4) hr = kNotANumber;
    if (hr == S_OK) *value = content.lVal;
    Com()->variantClear(&content);
    return hr;
}

HRESULT FindVolume(IWbemServices* services, LPCSTR drive, BSTR* path) {
    wchar_t text[96];
    swprintf(text, sizeof text / sizeof text[0], L"SELECT * FROM Win32_EncryptableVolume WHERE DriveLetter = '%c:'",
             drive[0]);
    BSTR language = Com()->allocString(L"WQL");
    BSTR query = Com()->allocString(text);
    IEnumWbemClassObject* found = nullptr;
    HRESULT hr = language && query ? services->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY |
                                                         WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, &found)
                                   : E_OUTOFMEMORY;
    Com()->freeString(language);
    Com()->freeString(query);
    if (hr != S_OK) return hr;
    SecureProxy(found);
    IWbemClassObject* volume = nullptr;
    ULONG count = 0;
    hr = found->Next(kEnumerationWaitMs, 1, &volume, &count);
    ReleaseOnce(&found);
    if (hr == WBEM_S_TIMEDOUT) return kTimedOut;
    if (count == 0) return FAILED(hr) ? hr : S_OK;
    VARIANT value;
    Com()->variantInit(&value);
    hr = volume->Get(L"__PATH", 0, &value, nullptr, nullptr);
    ReleaseOnce(&volume);
    if (hr == S_OK && value.vt == VT_BSTR) {
        *path = value.bstrVal;  // the string is ours now: freed with the conversation
        return S_OK;
    }
    Com()->variantClear(&value);
    return hr == S_OK ? kNoPath : hr;
}

HRESULT OpenConversation(LPCSTR drive, Conversation* talk) {
    *talk = Conversation{};
    // Without COM there is no WMI, and so no BitLocker to ask.
    if (Com() == nullptr) return REGDB_E_CLASSNOTREG;
    HRESULT hr = Com()->initialize(nullptr, COINIT_MULTITHREADED);
    talk->comStarted = SUCCEEDED(hr);
    // A thread COM already runs as an apartment serves as well.
    if (FAILED(hr) && hr != RPC_E_CHANGED_MODE) return hr;
    IWbemLocator* locator = nullptr;
    hr = Com()->createInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                          reinterpret_cast<void**>(&locator));
    if (hr != S_OK) return hr;
    BSTR space = Com()->allocString(L"ROOT\\CIMV2\\Security\\MicrosoftVolumeEncryption");
    hr = space ? locator->ConnectServer(space, nullptr, nullptr, nullptr, WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr,
                                        nullptr, &talk->services)
               : E_OUTOFMEMORY;
    Com()->freeString(space);
    ReleaseOnce(&locator);
    if (hr == S_OK) hr = SecureProxy(talk->services);
    if (hr == S_OK) hr = FindVolume(talk->services, drive, &talk->volumePath);
    return hr;
}

void CloseConversation(Conversation* talk) {
    if (Com() == nullptr) return;
    Com()->freeString(talk->volumePath);
    ReleaseOnce(&talk->services);
    if (talk->comStarted) Com()->uninitialize();
}

// The method's in-parameters with its one argument set.
HRESULT MakeArguments(IWbemServices* services, const wchar_t* method, const wchar_t* name, LONG value,
                      IWbemClassObject** arguments) {
    BSTR className = Com()->allocString(L"Win32_EncryptableVolume");
    IWbemClassObject* definition = nullptr;
    IWbemClassObject* signature = nullptr;
    HRESULT hr = className ? services->GetObject(className, 0, nullptr, &definition, nullptr) : E_OUTOFMEMORY;
    Com()->freeString(className);
    if (hr == S_OK) hr = definition->GetMethod(method, 0, &signature, nullptr);
    if (hr == S_OK) hr = signature ? signature->SpawnInstance(0, arguments) : kNotFound;
    if (hr == S_OK) {
        VARIANT content;
        Com()->variantInit(&content);
        content.vt = VT_I4;
        content.lVal = value;
        hr = (*arguments)->Put(name, 0, &content, 0);
    }
    ReleaseOnce(&signature);
    ReleaseOnce(&definition);
    if (hr != S_OK) ReleaseOnce(arguments);
    return hr;
}

// Runs a method of the volume with at most one argument (argument nullptr: none). A non-zero
// ReturnValue is the method's error; out, when given, receives its out-parameters.
HRESULT CallMethod(const Conversation& talk, const wchar_t* method, const wchar_t* argument, LONG value,
                   IWbemClassObject** out) {
    IWbemClassObject* arguments = nullptr;
    HRESULT hr = argument ? MakeArguments(talk.services, method, argument, value, &arguments) : S_OK;
    BSTR name = Com()->allocString(method);
    IWbemClassObject* results = nullptr;
    if (hr == S_OK) {
        hr = name ? talk.services->ExecMethod(talk.volumePath, name, 0, nullptr, arguments, &results, nullptr)
                  : E_OUTOFMEMORY;
    }
    Com()->freeString(name);
    ReleaseOnce(&arguments);
    LONG returned = 0;
    if (hr == S_OK) hr = ReadNumber(results, L"ReturnValue", &returned);
    if (hr == S_OK) hr = static_cast<HRESULT>(returned);
    if (hr == S_OK && out) {
        *out = results;
        return S_OK;
    }
    ReleaseOnce(&results);
    return hr;
}

HRESULT FindTpmProtector(const Conversation& talk, bool* tpm) {
    for (LONG type : kTpmProtectorTypes) {
        IWbemClassObject* results = nullptr;
        HRESULT hr = CallMethod(talk, L"GetKeyProtectors", L"KeyProtectorType", type, &results);
        if (hr != S_OK) return hr;
        VARIANT ids;
        Com()->variantInit(&ids);
        hr = results->Get(L"VolumeKeyProtectorID", 0, &ids, nullptr, nullptr);
        ReleaseOnce(&results);
        LONG lower = 0;
        LONG upper = -1;
        // None of a type comes back as VT_NULL or as an empty array.
        if (hr == S_OK && (ids.vt & VT_ARRAY) && ids.parray) {
            Com()->lowerBound(ids.parray, 1, &lower);
            Com()->upperBound(ids.parray, 1, &upper);
        }
        Com()->variantClear(&ids);
        if (hr != S_OK) return hr;
        if (upper >= lower) {
            *tpm = true;
            return S_OK;
        }
    }
    return S_OK;
}

// A number the volume's method without arguments returns in its out-parameter name.
HRESULT AskNumber(const Conversation& talk, const wchar_t* method, const wchar_t* name, uint32_t* value) {
    IWbemClassObject* results = nullptr;
    LONG number = 0;
    HRESULT hr = CallMethod(talk, method, nullptr, 0, &results);
    if (hr == S_OK) hr = ReadNumber(results, name, &number);
    ReleaseOnce(&results);
    if (hr == S_OK) *value = static_cast<uint32_t>(number);
    return hr;
}

uint32_t AskProtection(void* talk, uint32_t* status) {
    return static_cast<uint32_t>(
        AskNumber(*static_cast<Conversation*>(talk), L"GetProtectionStatus", L"ProtectionStatus", status));
}

uint32_t AskConversion(void* talk, uint32_t* status) {
    return static_cast<uint32_t>(
        AskNumber(*static_cast<Conversation*>(talk), L"GetConversionStatus", L"ConversionStatus", status));
}

uint32_t AskTpmProtector(void* talk, bool* found) {
    return static_cast<uint32_t>(FindTpmProtector(*static_cast<Conversation*>(talk), found));
}

}  // namespace

HRESULT OsBitLockerQuery(LPCSTR drive, BitLockerVolume* volume) {
    *volume = BitLockerVolume{};
    Conversation talk;
    HRESULT hr = OpenConversation(drive, &talk);
    if (hr == S_OK && talk.volumePath) {
        volume->listed = true;
        const BitLockerQuestions ask = {AskProtection, AskConversion, AskTpmProtector, &talk};
        hr = static_cast<HRESULT>(AskAboutBitLockerVolume(ask, volume));
    }
    CloseConversation(&talk);
    return hr;
}

HRESULT OsBitLockerSuspend(LPCSTR drive, UINT restarts) {
    Conversation talk;
    HRESULT hr = OpenConversation(drive, &talk);
    if (hr == S_OK && !talk.volumePath) hr = kNotFound;
    if (hr == S_OK) hr = CallMethod(talk, L"DisableKeyProtectors", L"DisableCount", static_cast<LONG>(restarts), nullptr);
    CloseConversation(&talk);
    return hr;
}

HRESULT OsBitLockerResume(LPCSTR drive) {
    Conversation talk;
    HRESULT hr = OpenConversation(drive, &talk);
    if (hr == S_OK && !talk.volumePath) hr = kNotFound;
    if (hr == S_OK) hr = CallMethod(talk, L"EnableKeyProtectors", nullptr, 0, nullptr);
    CloseConversation(&talk);
    return hr;
}
