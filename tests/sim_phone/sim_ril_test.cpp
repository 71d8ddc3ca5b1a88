// The simulated ril.dll called directly: argument checks, block checks, its thread, and Deinitialize.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <dlfcn.h>
#include <unistd.h>

#include "platform/hresult_codes.h"
#include "platform/ril_api.h"
#include "support/command_block.h"
#include "support/named_rows.h"
#include "support/temp_dir.h"
#include "rigs/common/stepped_radio.h"
#include "rigs/sim_phone/sim_switches.h"
#include "rigs/sim_phone/sim_trace.h"

namespace {

// Each callback as it came: its text ("notify", or "result <code>[ inside] <data quoted>[ closed <hr>]",
// where RIL_Deinitialize answered a callback that closed its own connection), identifier and thread.
struct Callback {
    std::string text;
    HRESULT id;
    std::thread::id thread;
};

std::mutex g_lock;
std::vector<Callback> g_seen;
std::atomic<bool> g_insideDevSpecific{false};
std::atomic<HRIL> g_closeInCallback{nullptr};
PFN_RIL_DEINITIALIZE g_deinit;

void OnResult(DWORD code, HRESULT id, const void* data, DWORD size, DWORD)
{
    const HRESULT closed = g_closeInCallback.load() ? g_deinit(g_closeInCallback.load()) : S_OK;
    std::string text = "result " + std::to_string(code) + (g_insideDevSpecific ? " inside " : " ") + Quoted(data, size);
    if (closed != S_OK) text += " closed " + HexWord(static_cast<uint32_t>(closed));
    std::lock_guard<std::mutex> hold(g_lock);
    g_seen.push_back({text, id, std::this_thread::get_id()});
}

void OnNotify(DWORD, const void*, DWORD, DWORD)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_seen.push_back({"notify", 0, std::this_thread::get_id()});
}

// A delivery of the stepped driver, as the callbacks above record it.
void OnDelivery(const Delivery& d)
{
    if (d.isResult) OnResult(d.code, d.cmdId, d.null ? nullptr : d.bytes.data(), d.size, 0);
    else OnNotify(d.code, d.bytes.data(), d.size, 0);
}

std::vector<Callback> Seen()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_seen;
}

// The callbacks' texts, a result that does not carry the command's identifier marked "stale".
std::string Summary(const std::vector<Callback>& seen, HRESULT id)
{
    std::string text;
    for (const Callback& c : seen) {
        const bool stale = c.text != "notify" && c.id != id;
        text += std::string(text.empty() ? "" : " ") + (stale ? "stale " : "") + c.text;
    }
    return text;
}

class SimRil : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        lib = dlopen(SIM_PHONE_RIL_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(nullptr, lib) << dlerror();
        init = reinterpret_cast<PFN_RIL_INITIALIZE>(dlsym(lib, "RIL_Initialize"));
        send = reinterpret_cast<PFN_RIL_DEVSPECIFIC>(dlsym(lib, "RIL_DevSpecific"));
        deinit = g_deinit = reinterpret_cast<PFN_RIL_DEINITIALIZE>(dlsym(lib, "RIL_Deinitialize"));
    }
    void SetUp() override
    {
        ASSERT_TRUE(init && send && deinit);
        for (const std::string& entry : ProcessEnvironment())
            if (entry.rfind("CLOCKWARD_SIM_", 0) == 0) unsetenv(entry.substr(0, entry.find('=')).c_str());
        g_closeInCallback = nullptr;
        ASSERT_FALSE(dir.path().empty());
        setenv("CLOCKWARD_SIM_STATE_FILE", (dir / "aetz.state").c_str(), 1);
        std::lock_guard<std::mutex> hold(g_lock);
        g_seen.clear();
    }
    HRIL Open()
    {
        HRIL h = nullptr;
        EXPECT_EQ(0, init(1, OnResult, OnNotify, 0, 0, &h));
        EXPECT_NE(nullptr, h);
        return h;
    }
    HRESULT Send(HRIL h, const std::vector<BYTE>& block)
    {
        g_insideDevSpecific = true;
        const HRESULT hr = send(h, block.data(), static_cast<DWORD>(block.size()));
        g_insideDevSpecific = false;
        return hr;
    }
    static inline void* lib;
    static inline PFN_RIL_INITIALIZE init;
    static inline PFN_RIL_DEVSPECIFIC send;
    static inline PFN_RIL_DEINITIALIZE deinit;
    TempDir dir{"simril"};
};

// Where RIL_Initialize must not write a handle, the caller's variable keeps this.
const HRIL kUnwritten = reinterpret_cast<HRIL>(0x7777);

TEST_F(SimRil, InitializeRefusesBadArgumentsAndWritesNoHandle)
{
    HRIL h = kUnwritten;
    EXPECT_EQ(E_INVALIDARG, init(0, OnResult, OnNotify, 0, 0, &h));
    EXPECT_EQ(E_INVALIDARG, init(2, OnResult, OnNotify, 0, 0, &h));
    EXPECT_EQ(E_INVALIDARG, init(1, nullptr, OnNotify, 0, 0, &h));
    EXPECT_EQ(E_INVALIDARG, init(1, OnResult, OnNotify, 0, 0, nullptr));
    EXPECT_EQ(kUnwritten, h);
}

TEST_F(SimRil, HandlesAreFreshAndIdentifiersPositiveAndNew)
{
    HRIL a = Open();
    HRIL b = Open();
    EXPECT_NE(a, b);
    const HRESULT first = Send(a, CommandBlock("AT"));
    const HRESULT second = Send(b, CommandBlock("AT"));
    EXPECT_GT(first, 0);
    EXPECT_GT(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(0, deinit(a));
    EXPECT_EQ(0, deinit(b));
}

TEST_F(SimRil, DevSpecificRefusesUnknownHandles)
{
    const std::vector<BYTE> block = CommandBlock("AT");
    EXPECT_EQ(E_HANDLE, Send(nullptr, block));
    EXPECT_EQ(E_HANDLE, Send(reinterpret_cast<HRIL>(0x1234), block));
    HRIL h = Open();
    ASSERT_EQ(0, deinit(h));
    EXPECT_EQ(E_HANDLE, Send(h, block));  // closed handles are unknown too
    EXPECT_EQ(E_HANDLE, deinit(h));
}

TEST_F(SimRil, DevSpecificRefusesMalformedBlocks)
{
    HRIL h = Open();
    const std::vector<std::vector<BYTE>> malformed = {
        {},
        {1, 0, 0, 0, '\r'},                            // shorter than 6
        {2, 0, 0, 0, 'A', 'T', '\r', 0},               // command code 2
        {1, 0, 0, 1, 'A', 'T', '\r', 0},               // code with a high byte set
        {1, 0, 0, 0, 'A', 'T', 0, 0},                  // no carriage return
        {1, 0, 0, 0, 'A', 'T', '\r', 'x'},             // no terminating zero
        {1, 0, 0, 0, 'A', '\r', 'T', '\r', 0},         // carriage return inside the text
        {1, 0, 0, 0, 'A', 0, 'T', '\r', 0},            // zero inside the text
        {1, 0, 0, 0, 'A', 'T', '\r', '\r', 0},         // carriage return just before the terminator
        {1, 0, 0, 0, 'A', 'T', 0, '\r', 0},            // zero just before the terminator
    };
    for (const auto& block : malformed) {
        EXPECT_EQ(E_INVALIDARG, send(h, block.empty() ? nullptr : block.data(), static_cast<DWORD>(block.size())))
            << block.size() << " bytes";
    }
    // A size that does not match the text: the terminator is not where the size says.
    std::vector<BYTE> good = CommandBlock("AT*AETZ=0");
    EXPECT_EQ(E_INVALIDARG, send(h, good.data(), static_cast<DWORD>(good.size() - 1)));
    EXPECT_GT(send(h, good.data(), static_cast<DWORD>(good.size())), 0);
    EXPECT_EQ(0, deinit(h));
}

// The radio layer's contract, one row a phone: open, send one command, wait, close. What the
// layer delivers and when: "<seen once the send has returned and waitMs have passed> | <seen in
// all once RIL_Deinitialize has returned>". Run through the simulated ril.dll (its threads, real
// time) and through the stepped driver of the emulated phone and the fake platform (the model on
// a clock that only the wait moves).
struct DeliveryCase : NamedRow {
    PhoneDescription phone;
    const char* command;
    int waitMs;
    bool closeInCallback;  // the result callback closes its own connection: the simulated layer's thread only
    const char* seen;
};

const DeliveryCase kDeliveries[] = {
    {"PendingResultComesBeforeDeinitializeReturns", {.delayMs = 200}, "AT*AETZ?", 0, false, " | result 1 \"\\r\\n*AETZ: 1\\r\\n\\r\\nOK\\r\\n\""},
    {"DropPolicyNeverCallsBack", {.delayMs = 100, .pending = PendingResults::Drop}, "AT", 0, false, " | "},
    {"BeforeReturnComesInsideTheSend", {.result = ResultTiming::BeforeReturn}, "AT", 0, false, "result 1 inside \"\\r\\nOK\\r\\n\" | result 1 inside \"\\r\\nOK\\r\\n\""},
    {"NotificationsThenModemError", {.modem = ModemReply::Error, .result = ResultTiming::AtDeinit, .notify = 3}, "AT", 200, false,
     "notify notify notify | notify notify notify result 3 \"\\x01\\x05\\x00\\x81\""},
    // Under the cancel policy the modem answers when the result is due, and the result says what it answered.
    {"CancelledCommandDueBeforeTheClose", {.modem = ModemReply::Error, .delayMs = 50, .pending = PendingResults::Cancel}, "AT", 300, false,
     "result 3 \"\\x01\\x05\\x00\\x81\" | result 3 \"\\x01\\x05\\x00\\x81\""},
    // Closing from the layer's own thread would join that thread: refused, the connection stays open.
    {"CallbackClosingItsOwnConnection", {.result = ResultTiming::BeforeReturn}, "AT", 0, true,
     "result 1 inside \"\\r\\nOK\\r\\n\" closed 0x80004005 | result 1 inside \"\\r\\nOK\\r\\n\" closed 0x80004005"},
};

class SimRilDelivery : public SimRil, public ::testing::WithParamInterface<DeliveryCase> {};

TEST_P(SimRilDelivery, ComesOnTheLayersThreadAsTheSwitchesSay)
{
    const DeliveryCase& c = GetParam();
    for (const std::string& e : SwitchesFor(c.phone))
        setenv(e.substr(0, e.find('=')).c_str(), e.substr(e.find('=') + 1).c_str(), 1);
    HRIL h = Open();
    g_closeInCallback = c.closeInCallback ? h : nullptr;
    const HRESULT id = Send(h, CommandBlock(c.command));
    std::this_thread::sleep_for(std::chrono::milliseconds(c.waitMs));
    const std::string early = Summary(Seen(), id);
    ASSERT_EQ(0, deinit(h));
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(c.seen, early + " | " + Summary(Seen(), id));
    for (const Callback& seen : Seen()) EXPECT_NE(std::this_thread::get_id(), seen.thread);
}

INSTANTIATE_NAMED_ROWS(Cases, SimRilDelivery, ::testing::ValuesIn(kDeliveries));

TEST_P(SimRilDelivery, ComesAsTheSteppedDriverDeliversIt)
{
    const DeliveryCase& c = GetParam();
    if (c.closeInCallback) GTEST_SKIP() << "a callback on the main thread's own stack cannot be joined";
    SteppedRadio radio{RadioModel(), [](const Delivery& d) {
                           OnDelivery(d);
                           return true;
                       }};
    const Returned open = radio.model.Initialize(c.phone, (dir / "aetz.state").string(), 1, true, true, radio.now);
    ASSERT_TRUE(open.handle);
    ASSERT_TRUE(radio.AtBoundary());
    const std::vector<BYTE> block = CommandBlock(c.command);
    g_insideDevSpecific = true;
    const Returned sent = radio.model.DevSpecific(*open.handle, block.data(), static_cast<DWORD>(block.size()), radio.now);
    ASSERT_TRUE(radio.Returning(sent, *open.handle));
    g_insideDevSpecific = false;
    ASSERT_TRUE(radio.AtBoundary() && radio.Sleep(static_cast<uint64_t>(c.waitMs)));
    const std::string early = Summary(Seen(), sent.hr);
    const Returned closed = radio.model.Deinitialize(*open.handle, radio.now);
    ASSERT_TRUE(radio.Returning(closed, *open.handle));
    EXPECT_EQ(c.seen, early + " | " + Summary(Seen(), sent.hr));
}

TEST_F(SimRil, InitializeFailureSwitchesAndRefusal)
{
    HRIL h = kUnwritten;
    setenv("CLOCKWARD_SIM_INIT", "fail", 1);
    EXPECT_EQ(E_FAIL, init(1, OnResult, OnNotify, 0, 0, &h));
    EXPECT_EQ(kUnwritten, h);

    setenv("CLOCKWARD_SIM_INIT", "fail-with-handle", 1);
    EXPECT_EQ(E_FAIL, init(1, OnResult, OnNotify, 0, 0, &h));
    EXPECT_NE(kUnwritten, h);
    EXPECT_EQ(E_HANDLE, Send(h, CommandBlock("AT")));  // written, but never opened

    unsetenv("CLOCKWARD_SIM_INIT");
    setenv("CLOCKWARD_SIM_REFUSE", "-2147467259", 1);
    h = Open();
    EXPECT_EQ(E_FAIL, Send(h, CommandBlock("AT")));
    EXPECT_EQ(0, deinit(h));

    setenv("CLOCKWARD_SIM_REFUSE", "bogus", 1);
    h = kUnwritten;
    EXPECT_EQ(E_INVALIDARG, init(1, OnResult, OnNotify, 0, 0, &h));  // a bad switch stops the layer from starting
    EXPECT_EQ(kUnwritten, h);
}

}  // namespace
