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
#include "support/temp_dir.h"

namespace {

struct Callback {
    bool isResult;
    DWORD code;
    HRESULT id;
    std::string data;
    std::thread::id thread;
    bool duringDevSpecific;
};

std::mutex g_lock;
std::vector<Callback> g_seen;
std::atomic<bool> g_insideDevSpecific{false};

void OnResult(DWORD code, HRESULT id, const void* data, DWORD size, DWORD)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_seen.push_back({true, code, id, std::string(static_cast<const char*>(data), size), std::this_thread::get_id(),
                      g_insideDevSpecific.load()});
}

void OnNotify(DWORD code, const void*, DWORD, DWORD)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_seen.push_back({false, code, 0, std::string(), std::this_thread::get_id(), g_insideDevSpecific.load()});
}

std::vector<Callback> Seen()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_seen;
}

class SimRil : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        lib = dlopen(SIM_PHONE_RIL_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(nullptr, lib) << dlerror();
        init = reinterpret_cast<PFN_RIL_INITIALIZE>(dlsym(lib, "RIL_Initialize"));
        send = reinterpret_cast<PFN_RIL_DEVSPECIFIC>(dlsym(lib, "RIL_DevSpecific"));
        deinit = reinterpret_cast<PFN_RIL_DEINITIALIZE>(dlsym(lib, "RIL_Deinitialize"));
    }
    void SetUp() override
    {
        ASSERT_TRUE(init && send && deinit);
        for (const char* name : {"CLOCKWARD_SIM_INIT", "CLOCKWARD_SIM_REFUSE", "CLOCKWARD_SIM_MODEM", "CLOCKWARD_SIM_RESULT",
                                 "CLOCKWARD_SIM_DELAY_MS", "CLOCKWARD_SIM_NOTIFY", "CLOCKWARD_SIM_AT_DEINIT"})
            unsetenv(name);
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
    static void* lib;
    static PFN_RIL_INITIALIZE init;
    static PFN_RIL_DEVSPECIFIC send;
    static PFN_RIL_DEINITIALIZE deinit;
    TempDir dir{"simril"};
};
void* SimRil::lib;
PFN_RIL_INITIALIZE SimRil::init;
PFN_RIL_DEVSPECIFIC SimRil::send;
PFN_RIL_DEINITIALIZE SimRil::deinit;

TEST_F(SimRil, InitializeRefusesBadArgumentsAndWritesNoHandle)
{
    const HRIL sentinel = reinterpret_cast<HRIL>(0x7777);
    HRIL h = sentinel;
    EXPECT_EQ(E_INVALIDARG, init(0, OnResult, OnNotify, 0, 0, &h));
    EXPECT_EQ(E_INVALIDARG, init(2, OnResult, OnNotify, 0, 0, &h));
    EXPECT_EQ(E_INVALIDARG, init(1, nullptr, OnNotify, 0, 0, &h));
    EXPECT_EQ(E_INVALIDARG, init(1, OnResult, OnNotify, 0, 0, nullptr));
    EXPECT_EQ(sentinel, h);
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

TEST_F(SimRil, ResultsComeOnTheLayersThreadAndPendingOnesBeforeDeinitializeReturns)
{
    setenv("CLOCKWARD_SIM_DELAY_MS", "200", 1);
    HRIL h = Open();
    const HRESULT id = Send(h, CommandBlock("AT*AETZ?"));
    EXPECT_TRUE(Seen().empty());  // still pending after the call
    ASSERT_EQ(0, deinit(h));
    const std::vector<Callback> seen = Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_TRUE(seen[0].isResult);
    EXPECT_EQ(RIL_RESULT_OK, seen[0].code);
    EXPECT_EQ(id, seen[0].id);
    EXPECT_EQ("\r\n*AETZ: 1\r\n\r\nOK\r\n", seen[0].data);
    EXPECT_NE(std::this_thread::get_id(), seen[0].thread);
}

TEST_F(SimRil, DropPolicyNeverCallsBackAfterDeinitialize)
{
    setenv("CLOCKWARD_SIM_DELAY_MS", "100", 1);
    setenv("CLOCKWARD_SIM_AT_DEINIT", "drop", 1);
    HRIL h = Open();
    Send(h, CommandBlock("AT"));
    ASSERT_EQ(0, deinit(h));
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_TRUE(Seen().empty());
}

TEST_F(SimRil, BeforeReturnDeliversInsideDevSpecific)
{
    setenv("CLOCKWARD_SIM_RESULT", "before-return", 1);
    HRIL h = Open();
    const HRESULT id = Send(h, CommandBlock("AT"));
    const std::vector<Callback> seen = Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_TRUE(seen[0].duringDevSpecific);
    EXPECT_EQ(id, seen[0].id);
    EXPECT_EQ(0, deinit(h));
}

TEST_F(SimRil, ModemErrorAndNotifications)
{
    setenv("CLOCKWARD_SIM_MODEM", "error", 1);
    setenv("CLOCKWARD_SIM_NOTIFY", "3", 1);
    setenv("CLOCKWARD_SIM_RESULT", "at-deinit", 1);
    HRIL h = Open();
    Send(h, CommandBlock("AT"));
    ASSERT_EQ(0, deinit(h));
    const std::vector<Callback> seen = Seen();
    ASSERT_EQ(4u, seen.size());
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(seen[static_cast<size_t>(i)].isResult);
    EXPECT_TRUE(seen[3].isResult);
    EXPECT_EQ(RIL_RESULT_ERROR, seen[3].code);
    EXPECT_EQ("\r\nERROR\r\n", seen[3].data);
}

TEST_F(SimRil, InitializeFailureSwitchesAndRefusal)
{
    HRIL h = reinterpret_cast<HRIL>(0x7777);
    setenv("CLOCKWARD_SIM_INIT", "fail", 1);
    EXPECT_EQ(E_FAIL, init(1, OnResult, OnNotify, 0, 0, &h));
    EXPECT_EQ(reinterpret_cast<HRIL>(0x7777), h);

    setenv("CLOCKWARD_SIM_INIT", "fail-with-handle", 1);
    EXPECT_EQ(E_FAIL, init(1, OnResult, OnNotify, 0, 0, &h));
    EXPECT_NE(reinterpret_cast<HRIL>(0x7777), h);
    EXPECT_EQ(E_HANDLE, Send(h, CommandBlock("AT")));  // written, but never opened

    unsetenv("CLOCKWARD_SIM_INIT");
    setenv("CLOCKWARD_SIM_REFUSE", "-2147467259", 1);
    h = Open();
    EXPECT_EQ(E_FAIL, Send(h, CommandBlock("AT")));
    EXPECT_EQ(0, deinit(h));

    setenv("CLOCKWARD_SIM_REFUSE", "bogus", 1);
    h = reinterpret_cast<HRIL>(0x7777);
    EXPECT_EQ(E_INVALIDARG, init(1, OnResult, OnNotify, 0, 0, &h));  // a bad switch stops the layer from starting
    EXPECT_EQ(reinterpret_cast<HRIL>(0x7777), h);
}

}  // namespace
