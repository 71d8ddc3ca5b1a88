// A fake platform for the unit tests: records every service and radio call the real logic makes.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform_types.h"
#include "platform/ril_api.h"
#include "platform/trust_level.h"
#include "rigs/common/phone_description.h"

struct FakeBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

struct FakePlatform {
    // Behaviour.
    bool libraryPresent = true;
    std::set<std::string> missingEntries;       // entry names GetProcAddressW does not find
    HRESULT initResult = 0;
    bool initWritesHandle = true;
    HRIL handleToWrite = reinterpret_cast<HRIL>(0x5A5A0001);
    HRESULT devSpecificResult = 0x42;
    std::function<void(HRESULT aboutToReturn)> insideDevSpecific;  // runs before RIL_DevSpecific returns
    DWORD trustLevel = OEM_CERTIFY_TRUST;  // what CeGetCurrentTrust answers
    // A phone of the scenario table instead of the fixed answers above: the radio entry points
    // drive the radio model, its simulated modem on stateFile, and whatever the layer's thread
    // would have delivered by then comes at each call the program makes; Sleep moves its clock.
    std::optional<PhoneDescription> phone;
    std::string stateFile;
    std::optional<HRIL> handleWritten;  // what RIL_Initialize wrote to the program's place

    // What happened, in order: "Sleep(5000)", "LoadLibraryW(ril.dll)", "GetProcAddressW(RIL_Initialize)",
    // "RIL_Initialize", "RIL_DevSpecific", "RIL_Deinitialize", "NKDbgPrintfW", "MessageBoxW".
    std::vector<std::string> calls;
    std::vector<std::string> debugLines;
    std::vector<FakeBox> boxes;

    // Arguments the radio entry points saw.
    DWORD initIndex = 0, initClasses = 0, initParam = 0;
    RILRESULTCALLBACK initResultCb = nullptr;
    RILNOTIFYCALLBACK initNotifyCb = nullptr;
    HRIL* initHandlePtr = nullptr;
    HRIL devSpecificHandle = nullptr;
    std::vector<BYTE> block;  // the last RIL_DevSpecific's
    DWORD blockSize = 0;
    std::vector<std::vector<BYTE>> blocks;  // every RIL_DevSpecific's, in order
    HRIL deinitHandle = nullptr;

    size_t Count(const std::string& call) const;
};

// The fake's one instance; ResetFakeAndRadioState() restores the defaults and zeroes the program's radio state.
FakePlatform& Fake();
void ResetFakeAndRadioState();
// Resets, then lays out the phone: its library as the description says, its radio over the model.
void UsePhone(const PhoneDescription& phone, const std::string& stateFile);

// The module handle the fake LoadLibraryW returns, and its fake entry points.
HMODULE FakeRilModule();
extern "C" HRESULT Fake_RIL_Initialize(DWORD, RILRESULTCALLBACK, RILNOTIFYCALLBACK, DWORD, DWORD, HRIL*);
extern "C" HRESULT Fake_RIL_DevSpecific(HRIL, const BYTE*, DWORD);
extern "C" HRESULT Fake_RIL_Deinitialize(HRIL);
