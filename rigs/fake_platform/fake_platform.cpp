// The fake platform's services and radio entry points, linked in place of the host or device layer.
#include "rigs/fake_platform/fake_platform.h"

#include <algorithm>
#include <cstdarg>
#include <memory>

#include "platform/host/utf_convert.h"
#include "platform/host/wide_format.h"
#include "platform/core_services.h"
#include "radio/check/query_answers.h"
#include "radio/radio_state.h"
#include "rigs/common/stepped_radio.h"

namespace {
FakePlatform g_fake;
int g_moduleToken;
std::unique_ptr<SteppedRadio> g_radio;
bool g_inCallback = false;

bool DeliverToProgram(const Delivery& d)
{
    g_inCallback = true;
    const void* data = d.null ? nullptr : d.bytes.data();
    if (d.isResult) g_fake.initResultCb(d.code, d.cmdId, data, d.size, g_fake.initParam);
    else g_fake.initNotifyCb(d.code, data, d.size, g_fake.initParam);
    g_inCallback = false;
    return true;
}

// Each call of the main thread is a moment at which the layer's thread may have delivered.
void Boundary()
{
    if (g_radio && !g_inCallback) g_radio->AtBoundary();
}

// A radio call through the model: a moment before it, its deliveries before it returns, a moment after.
HRESULT ThroughModel(HRIL handle, const std::function<Returned()>& call)
{
    Boundary();
    const Returned r = call();
    g_radio->Returning(r, HandleOf(handle));
    Boundary();
    return r.hr;
}
}  // namespace

size_t FakePlatform::Count(const std::string& call) const
{
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
}

FakePlatform& Fake()
{
    return g_fake;
}

void ResetFakeAndRadioState()
{
    g_fake = FakePlatform();
    g_hRilModule = nullptr;
    g_pfnRIL_Initialize = nullptr;
    g_pfnRIL_Deinitialize = nullptr;
    g_pfnRIL_DevSpecific = nullptr;
    g_hRil = nullptr;
    StoreLastCmdID(0);
    ForgetQueryAnswers();
    g_radio.reset();
}

void UsePhone(const PhoneDescription& phone, const std::string& stateFile)
{
    ResetFakeAndRadioState();
    g_fake.phone = phone;
    g_fake.stateFile = stateFile;
    g_fake.libraryPresent = phone.library != Library::Absent;
    if (phone.library == Library::WithoutDevSpecific) g_fake.missingEntries.insert("RIL_DevSpecific");
    g_fake.trustLevel = TrustLevelOf(phone);
    g_radio = std::make_unique<SteppedRadio>(SteppedRadio{RadioModel(), DeliverToProgram});
}

HMODULE FakeRilModule()
{
    return reinterpret_cast<HMODULE>(&g_moduleToken);
}

extern "C" void Sleep(DWORD dwMilliseconds)
{
    g_fake.calls.push_back("Sleep(" + std::to_string(dwMilliseconds) + ")");
    if (g_radio && !g_inCallback) g_radio->Sleep(dwMilliseconds);
}

extern "C" HMODULE LoadLibraryW(LPCWSTR lpLibFileName)
{
    Boundary();
    g_fake.calls.push_back("LoadLibraryW(" + Utf16ToUtf8(lpLibFileName) + ")");
    return g_fake.libraryPresent && Utf16ToUtf8(lpLibFileName) == "ril.dll" ? FakeRilModule() : nullptr;
}

extern "C" FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName)
{
    Boundary();
    const std::string name = Utf16ToUtf8(lpProcName);
    g_fake.calls.push_back("GetProcAddressW(" + name + ")");
    if (hModule != FakeRilModule() || g_fake.missingEntries.count(name)) return nullptr;
    void (*entry)(void) = nullptr;
    if (name == "RIL_Initialize") entry = reinterpret_cast<void (*)(void)>(Fake_RIL_Initialize);
    if (name == "RIL_DevSpecific") entry = reinterpret_cast<void (*)(void)>(Fake_RIL_DevSpecific);
    if (name == "RIL_Deinitialize") entry = reinterpret_cast<void (*)(void)>(Fake_RIL_Deinitialize);
    return reinterpret_cast<FARPROC>(entry);
}

extern "C" void NKDbgPrintfW(LPCWSTR lpszFmt, ...)
{
    Boundary();
    va_list args;
    va_start(args, lpszFmt);
    g_fake.debugLines.push_back(Utf16ToUtf8(FormatWide(lpszFmt, args)));
    va_end(args);
    g_fake.calls.push_back("NKDbgPrintfW");
}

extern "C" int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    Boundary();
    g_fake.boxes.push_back(FakeBox{hWnd, Utf16ToUtf8(lpText), Utf16ToUtf8(lpCaption), uType});
    g_fake.calls.push_back("MessageBoxW");
    return IDOK;
}

extern "C" DWORD CeGetCurrentTrust(void)
{
    Boundary();
    g_fake.calls.push_back("CeGetCurrentTrust");
    return g_fake.trustLevel;
}

extern "C" HRESULT Fake_RIL_Initialize(DWORD dwIndex, RILRESULTCALLBACK pfnResult, RILNOTIFYCALLBACK pfnNotify,
                                       DWORD dwNotificationClasses, DWORD dwParam, HRIL* lphRil)
{
    g_fake.calls.push_back("RIL_Initialize");
    g_fake.initIndex = dwIndex;
    g_fake.initResultCb = pfnResult;
    g_fake.initNotifyCb = pfnNotify;
    g_fake.initClasses = dwNotificationClasses;
    g_fake.initParam = dwParam;
    g_fake.initHandlePtr = lphRil;
    if (g_radio) {
        return ThroughModel(nullptr, [&] {
            const Returned r = g_radio->model.Initialize(*g_fake.phone, g_fake.stateFile, dwIndex, pfnResult, pfnNotify, g_radio->now);
            if (r.handle) g_fake.handleWritten = *lphRil = HrilOf(*r.handle);
            return r;
        });
    }
    if (g_fake.initWritesHandle) *lphRil = g_fake.handleToWrite;
    return g_fake.initResult;
}

extern "C" HRESULT Fake_RIL_DevSpecific(HRIL hRil, const BYTE* lpbParams, DWORD dwSize)
{
    g_fake.calls.push_back("RIL_DevSpecific");
    g_fake.devSpecificHandle = hRil;
    g_fake.block.assign(lpbParams, lpbParams + dwSize);
    g_fake.blockSize = dwSize;
    g_fake.blocks.push_back(g_fake.block);
    if (g_radio) return ThroughModel(hRil, [&] { return g_radio->model.DevSpecific(HandleOf(hRil), lpbParams, dwSize, g_radio->now); });
    if (g_fake.insideDevSpecific) g_fake.insideDevSpecific(g_fake.devSpecificResult);
    return g_fake.devSpecificResult;
}

extern "C" HRESULT Fake_RIL_Deinitialize(HRIL hRil)
{
    g_fake.calls.push_back("RIL_Deinitialize");
    g_fake.deinitHandle = hRil;
    if (g_radio) return ThroughModel(hRil, [&] { return g_radio->model.Deinitialize(HandleOf(hRil), g_radio->now); });
    return 0;
}
