// The simulated radio interface layer: RIL_* entry points over the radio model, with a thread of
// its own for each connection, on which every callback is made. The model says what is due and
// when; this file only waits for it and makes the calls. RIL_Deinitialize returns once the
// connection's thread has ended, so no callback comes after it.
#include "platform/ril_api.h"
#include "platform/hresult_codes.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include <unistd.h>

#include "platform/host/stderr_output.h"
#include "rigs/common/command_block.h"
#include "rigs/common/radio_model.h"
#include "sim_switches.h"
#include "sim_trace.h"

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point g_origin = Clock::now();

uint64_t NowMs()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - g_origin).count());
}

// The build names the state file beside the programs, so that the console and the layer agree.
const char kDefaultStateFile[] = SIM_DEFAULT_STATE_FILE;

void Report(const std::string& message)
{
    WriteToStderr("ril.dll (simulated): " + message + "\n");
}

struct Connection {
    RILRESULTCALLBACK onResult;
    RILNOTIFYCALLBACK onNotify;
    DWORD param;
    std::thread worker;
    int inFlight = 0;  // deliveries taken from the model and not yet returned from the callback
};

// One lock for the model and the connections; one condition for every change.
std::mutex g_lock;
std::condition_variable g_changed;
RadioModel g_model([](const std::string& line, const ModemAnswer& answer) {
    if (!answer.problem.empty()) Report("modem: " + answer.problem);
    TraceLine("modem " + Quoted(line.data(), line.size()) + " -> " + Quoted(answer.response.data(), answer.response.size()));
});
std::map<uint32_t, std::unique_ptr<Connection>> g_connections;

std::string Pointer(const void* p) { return HexWord(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p))); }

void Deliver(const Connection& c, const Delivery& d)
{
    if (d.isResult) {
        TraceLine("callback result handle=" + Pointer(HrilOf(d.handle)) + " code=" + std::to_string(d.code) + " id=" +
                  HexWord(static_cast<uint32_t>(d.cmdId)) + " size=" + std::to_string(d.size) + " data=" +
                  (d.null ? std::string("null") : Quoted(d.bytes.data(), d.size)));
        c.onResult(d.code, d.cmdId, d.null ? nullptr : d.bytes.data(), d.size, c.param);
    } else {
        TraceLine("callback notify handle=" + Pointer(HrilOf(d.handle)) + " code=" + HexWord(d.code) + " data=" + HexBytes(d.bytes.data(), d.size));
        c.onNotify(d.code, d.bytes.data(), d.size, c.param);
    }
    TraceLine(std::string("callback-return ") + (d.isResult ? "result" : "notify"));
}

// The connection's thread: makes each delivery when it falls due, until the connection is closed
// and nothing is left.
void WorkerLoop(uint32_t handle, Connection* c)
{
    std::unique_lock<std::mutex> lock(g_lock);
    for (;;) {
        if (std::optional<Delivery> d = g_model.Take(handle, NowMs())) {
            ++c->inFlight;
            lock.unlock();
            Deliver(*c, *d);
            lock.lock();
            --c->inFlight;
            g_changed.notify_all();
            continue;
        }
        if (g_model.Closed(handle)) return;
        const std::optional<uint64_t> due = g_model.NextDue(handle);
        if (!due || *due == kAtClose) g_changed.wait(lock);
        else g_changed.wait_until(lock, g_origin + std::chrono::milliseconds(*due));
    }
}

// Opens the trace named by the environment as soon as the library is loaded, so that the load
// itself is on record.
__attribute__((constructor)) void OnLoad()
{
    // Problems with the other switches are reported when a connection is opened.
    const SimSwitches switches = ReadSimSwitches(ProcessEnvironment(), kDefaultStateFile).switches;
    if (!OpenTrace(switches.traceFile)) Report("cannot open trace file " + switches.traceFile);
    TraceLine("load pid=" + std::to_string(getpid()));
}

}  // namespace

extern "C" HRESULT RIL_Initialize(DWORD dwIndex, RILRESULTCALLBACK pfnResult, RILNOTIFYCALLBACK pfnNotify,
                                  DWORD dwNotificationClasses, DWORD dwParam, HRIL* lphRil)
{
    TraceCall("RIL_Initialize", {std::to_string(dwIndex), Pointer(reinterpret_cast<void*>(pfnResult)),
                                 Pointer(reinterpret_cast<void*>(pfnNotify)), HexWord(dwNotificationClasses), HexWord(dwParam),
                                 Pointer(lphRil)});
    auto finish = [](HRESULT hr, std::optional<uint32_t> written) {
        TraceReturn("RIL_Initialize", static_cast<uint32_t>(hr), written ? Pointer(HrilOf(*written)) : kHandleUnwritten);
        return hr;
    };
    SwitchReading reading = ReadSimSwitches(ProcessEnvironment(), kDefaultStateFile);
    for (const std::string& problem : reading.problems) Report(problem);
    if (!lphRil || !reading.problems.empty()) return finish(E_INVALIDARG, std::nullopt);

    std::lock_guard<std::mutex> hold(g_lock);
    const Returned r = g_model.Initialize(reading.switches.phone, reading.switches.stateFile, dwIndex, pfnResult != nullptr,
                                          pfnNotify != nullptr, NowMs());
    if (r.handle) *lphRil = HrilOf(*r.handle);
    if (r.hr >= 0) {
        auto c = std::make_unique<Connection>(Connection{pfnResult, pfnNotify, dwParam, std::thread(), 0});
        c->worker = std::thread(WorkerLoop, *r.handle, c.get());
        g_connections[*r.handle] = std::move(c);
    }
    return finish(r.hr, r.handle);
}

#ifndef SIM_PHONE_WITHOUT_DEVSPECIFIC
extern "C" HRESULT RIL_DevSpecific(HRIL hRil, const BYTE* lpbParams, DWORD dwSize)
{
    TraceCall("RIL_DevSpecific", {Pointer(hRil), std::to_string(dwSize),
                                  lpbParams && dwSize <= kMaxCommandBlockSize ? HexBytes(lpbParams, dwSize) : "unreadable"});
    const uint32_t handle = HandleOf(hRil);
    std::unique_lock<std::mutex> lock(g_lock);
    const Returned r = g_model.DevSpecific(handle, lpbParams, dwSize, NowMs());
    g_changed.notify_all();
    // The thread delivers what must come before the call returns; this one waits until it has.
    if (r.drains) {
        const Connection& c = *g_connections.at(handle);
        g_changed.wait(lock, [&] {
            const std::optional<uint64_t> due = g_model.NextDue(handle);
            return (!due || *due > r.until) && c.inFlight == 0;
        });
    }
    lock.unlock();
    TraceReturn("RIL_DevSpecific", static_cast<uint32_t>(r.hr));
    return r.hr;
}
#endif

extern "C" HRESULT RIL_Deinitialize(HRIL hRil)
{
    TraceCall("RIL_Deinitialize", {Pointer(hRil)});
    const uint32_t handle = HandleOf(hRil);
    std::unique_ptr<Connection> c;
    HRESULT hr = E_HANDLE;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        auto it = g_connections.find(handle);
        if (it != g_connections.end() && std::this_thread::get_id() == it->second->worker.get_id()) {
            hr = E_FAIL;  // a callback closing its own connection would join its own thread
        } else {
            hr = g_model.Deinitialize(handle, NowMs()).hr;
            if (hr == S_OK) {
                c = std::move(it->second);
                g_connections.erase(it);
            }
            g_changed.notify_all();
        }
    }
    if (c) c->worker.join();
    TraceReturn("RIL_Deinitialize", static_cast<uint32_t>(hr));
    return hr;
}
