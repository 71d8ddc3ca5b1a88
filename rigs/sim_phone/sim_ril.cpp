// The simulated radio interface layer: RIL_* entry points over a simulated modem, with its own thread.
//
// Each connection has one worker thread, on which every callback is made. Results still pending
// when RIL_Deinitialize is called are, by default, waited for and delivered before it returns (the
// modem finishes the command it was given); with CLOCKWARD_SIM_PENDING=drop they are discarded;
// with =cancel a command reaches the modem only when its result is due, so closing first cancels it.
// Either way the worker has ended when RIL_Deinitialize returns, so no callback comes after it.
#include "platform/ril_api.h"
#include "platform/hresult_codes.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include <unistd.h>

#include "platform/host/stderr_output.h"
#include "rigs/common/answer_shape.h"
#include "rigs/common/command_block.h"
#include "rigs/common/sim_modem.h"
#include "sim_switches.h"
#include "sim_trace.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Event {
    bool isResult;
    DWORD code;
    HRESULT cmdId;  // results only
    std::string data;
    Clock::time_point due;  // time_point::max(): held until RIL_Deinitialize
    bool* delivered;        // set once delivered or dropped, for a caller waiting on it
    std::string modemLine = std::string();  // a command the modem has not seen yet (cancel policy)
    bool modemPending = false;               // modemLine goes to the connection's modem on delivery
};

struct Connection {
    HRIL handle;
    RILRESULTCALLBACK onResult;
    RILNOTIFYCALLBACK onNotify;
    DWORD param;
    SimSwitches switches;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Event> queue;  // ordered by due time
    bool closing = false;
    std::thread worker;
};

std::mutex g_registryLock;
std::map<HRIL, std::shared_ptr<Connection>> g_connections;
uintptr_t g_nextHandle = 0x52490001;  // "RI" and a counter: easy to spot in a trace
HRESULT g_nextCmdId = 1;

// The build names the state file beside the programs, so that the console and the layer agree.
const char kDefaultStateFile[] = SIM_DEFAULT_STATE_FILE;

void Report(const std::string& message)
{
    WriteToStderr("ril.dll (simulated): " + message + "\n");
}

SimSwitches CurrentSwitches(bool* valid)
{
    SwitchReading reading = ReadSimSwitches(ProcessEnvironment(), kDefaultStateFile);
    for (const std::string& problem : reading.problems) Report(problem);
    *valid = reading.problems.empty();
    return reading.switches;
}

std::string Pointer(const void* p) { return HexWord(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p))); }

// For RIL_DevSpecific, which the library built without it leaves out.
[[maybe_unused]] std::shared_ptr<Connection> Find(HRIL handle)
{
    std::lock_guard<std::mutex> hold(g_registryLock);
    auto it = g_connections.find(handle);
    return it == g_connections.end() ? nullptr : it->second;
}

void Enqueue(Connection& c, Event event)
{
    auto at = c.queue.begin();
    while (at != c.queue.end() && at->due <= event.due) ++at;
    c.queue.insert(at, std::move(event));
    c.changed.notify_all();
}

// The connection's modem carries out one command line, and the trace says what it answered.
ModemAnswer AskModem(const SimSwitches& switches, const std::string& line)
{
    const ModemAnswer answer = RunModemCommand(line, switches.stateFile, switches.phone.modem);
    if (!answer.problem.empty()) Report("modem: " + answer.problem);
    TraceLine("modem " + Quoted(line.data(), line.size()) + " -> " + Quoted(answer.response.data(), answer.response.size()));
    return answer;
}

void Deliver(Connection& c, Event e)
{
    if (e.modemPending) {
        const ModemAnswer answer = AskModem(c.switches, e.modemLine);
        e.code = answer.ok ? RIL_RESULT_OK : RIL_RESULT_ERROR;
        e.data = answer.response;
    }
    if (e.isResult) {
        const ResultData r = ShapeResult(ModemAnswer{e.code == RIL_RESULT_OK, e.data, std::string()}, c.switches.phone.answer);
        TraceLine("callback result handle=" + Pointer(c.handle) + " code=" + std::to_string(r.code) + " id=" +
                  HexWord(static_cast<uint32_t>(e.cmdId)) + " size=" + std::to_string(r.size) + " data=" +
                  (r.null ? std::string("null") : Quoted(r.bytes.data(), r.size)));
        c.onResult(r.code, e.cmdId, r.null ? nullptr : r.bytes.data(), r.size, c.param);
    } else {
        TraceLine("callback notify handle=" + Pointer(c.handle) + " code=" + HexWord(e.code) +
                  " data=" + HexBytes(e.data.data(), e.data.size()));
        c.onNotify(e.code, e.data.data(), static_cast<DWORD>(e.data.size()), c.param);
    }
    TraceLine(std::string("callback-return ") + (e.isResult ? "result" : "notify"));
}

void WorkerLoop(Connection* c)
{
    std::unique_lock<std::mutex> lock(c->lock);
    for (;;) {
        if (c->closing && !DeinitDelivers(c->switches.phone)) {
            for (Event& e : c->queue) {
                TraceLine(std::string("dropped ") + (e.isResult ? "result id=" + HexWord(static_cast<uint32_t>(e.cmdId)) : "notify"));
                if (e.delivered) *e.delivered = true;
            }
            c->queue.clear();
            c->changed.notify_all();
            return;
        }
        if (c->queue.empty()) {
            if (c->closing) return;
            c->changed.wait(lock);
            continue;
        }
        const Clock::time_point due = c->queue.front().due;
        if (due == Clock::time_point::max() && !c->closing) {
            c->changed.wait(lock);
            continue;
        }
        if (due != Clock::time_point::max() && Clock::now() < due) {
            c->changed.wait_until(lock, due);
            continue;
        }
        Event e = std::move(c->queue.front());
        c->queue.pop_front();
        lock.unlock();
        Deliver(*c, e);
        lock.lock();
        if (e.delivered) *e.delivered = true;
        c->changed.notify_all();
    }
}

// For RIL_DevSpecific, as Find is.
[[maybe_unused]] HRESULT NextCommandId()
{
    std::lock_guard<std::mutex> hold(g_registryLock);
    const HRESULT id = g_nextCmdId;
    g_nextCmdId = g_nextCmdId == 0x7FFFFFFF ? 1 : g_nextCmdId + 1;
    return id;
}

HRIL NextHandle()
{
    std::lock_guard<std::mutex> hold(g_registryLock);
    return reinterpret_cast<HRIL>(g_nextHandle++);
}

std::string Result(HRESULT hr) { return HexWord(static_cast<uint32_t>(hr)); }

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
    TraceLine("call RIL_Initialize index=" + std::to_string(dwIndex) + " result_cb=" +
              Pointer(reinterpret_cast<void*>(pfnResult)) + " notify_cb=" + Pointer(reinterpret_cast<void*>(pfnNotify)) +
              " classes=" + HexWord(dwNotificationClasses) + " param=" + HexWord(dwParam) + " handle_ptr=" + Pointer(lphRil));
    auto finish = [](HRESULT hr, HRIL written) {
        TraceLine("return RIL_Initialize hr=" + Result(hr) + " handle=" + (written ? Pointer(written) : std::string("unwritten")));
        return hr;
    };
    if (dwIndex != 1 || !pfnResult || !lphRil) return finish(E_INVALIDARG, nullptr);

    bool valid = false;
    const SimSwitches switches = CurrentSwitches(&valid);
    if (!valid) return finish(E_INVALIDARG, nullptr);
    if (switches.phone.init == InitBehaviour::Fail) return finish(E_FAIL, nullptr);
    if (switches.phone.init == InitBehaviour::FailWithHandle) {
        // A handle that was never opened: any use of it is refused.
        *lphRil = NextHandle();
        return finish(E_FAIL, *lphRil);
    }

    auto c = std::make_shared<Connection>();
    c->handle = NextHandle();
    c->onResult = pfnResult;
    c->onNotify = pfnNotify;
    c->param = dwParam;
    c->switches = switches;
    if (pfnNotify) {
        for (unsigned i = 0; i < switches.phone.notify; ++i) {
            const DWORD state = kRadioPresentState;
            Enqueue(*c, Event{false, kRadioPresentNotification, 0,
                              std::string(reinterpret_cast<const char*>(&state), sizeof state), Clock::now(), nullptr});
        }
    }
    c->worker = std::thread(WorkerLoop, c.get());
    {
        std::lock_guard<std::mutex> hold(g_registryLock);
        g_connections[c->handle] = c;
    }
    *lphRil = c->handle;
    return finish(S_OK, c->handle);
}

#ifndef SIM_PHONE_WITHOUT_DEVSPECIFIC
extern "C" HRESULT RIL_DevSpecific(HRIL hRil, const BYTE* lpbParams, DWORD dwSize)
{
    TraceLine("call RIL_DevSpecific handle=" + Pointer(hRil) + " size=" + std::to_string(dwSize) + " bytes=" +
              (lpbParams && dwSize <= kMaxCommandBlockSize ? HexBytes(lpbParams, dwSize) : std::string("unreadable")));
    auto finish = [](HRESULT hr) {
        TraceLine("return RIL_DevSpecific hr=" + Result(hr));
        return hr;
    };
    std::shared_ptr<Connection> c = hRil ? Find(hRil) : nullptr;
    std::string line;
    const HRESULT refusal = DevSpecificRefusal(c != nullptr, lpbParams, dwSize, c ? c->switches.phone.refuse : 0, &line);
    if (refusal != S_OK) return finish(refusal);

    const HRESULT id = NextCommandId();
    const bool cancellable = !ModemRunsAtSend(c->switches.phone);
    ModemAnswer answer{true, std::string(), std::string()};
    if (!cancellable) answer = AskModem(c->switches, line);

    bool delivered = false;
    std::unique_lock<std::mutex> lock(c->lock);
    Clock::time_point due = Clock::now();
    if (c->switches.phone.result == ResultTiming::Delayed) due += std::chrono::milliseconds(c->switches.phone.delayMs);
    if (c->switches.phone.result == ResultTiming::AtDeinit) due = Clock::time_point::max();
    const bool waitForDelivery = c->switches.phone.result == ResultTiming::BeforeReturn;
    if (c->switches.phone.result == ResultTiming::Never) return finish(id);
    Enqueue(*c, Event{true, answer.ok ? RIL_RESULT_OK : RIL_RESULT_ERROR, id, answer.response, due,
                      waitForDelivery ? &delivered : nullptr, cancellable ? line : std::string(), cancellable});
    // The race a caller must survive: its result arrives before it has even seen the identifier.
    if (waitForDelivery) c->changed.wait(lock, [&] { return delivered; });
    return finish(id);
}
#endif

extern "C" HRESULT RIL_Deinitialize(HRIL hRil)
{
    TraceLine("call RIL_Deinitialize handle=" + Pointer(hRil));
    std::shared_ptr<Connection> c;
    HRESULT refusal = S_OK;
    {
        // Looked up and removed in one step, so that only one caller ever joins the worker.
        std::lock_guard<std::mutex> hold(g_registryLock);
        auto it = hRil ? g_connections.find(hRil) : g_connections.end();
        if (it == g_connections.end()) {
            refusal = E_HANDLE;
        } else if (std::this_thread::get_id() == it->second->worker.get_id()) {
            refusal = E_FAIL;  // a callback closing its own connection would join its own thread
        } else {
            c = it->second;
            g_connections.erase(it);
        }
    }
    if (!c) {
        TraceLine("return RIL_Deinitialize hr=" + Result(refusal));
        return refusal;
    }
    {
        std::lock_guard<std::mutex> hold(c->lock);
        c->closing = true;
        c->changed.notify_all();
    }
    c->worker.join();
    TraceLine("return RIL_Deinitialize hr=" + Result(S_OK));
    return S_OK;
}
