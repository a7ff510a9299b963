#include "platform/WaylandClipboard.h"

#include "DebugLog.h"
#include "ext-data-control-v1-client.h"
#include "wlr-data-control-unstable-v1-client.h"

#include <QByteArrayList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <future>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <string_view>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>
#include <wayland-client.h>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

// Both protocols have the same shape, so one client drives either: the interface tables are
// picked at run time and the opcodes are shared (checked here once).
#define FW_SAME_OPCODE(name) static_assert(EXT_DATA_CONTROL_##name == ZWLR_DATA_CONTROL_##name)
FW_SAME_OPCODE(MANAGER_V1_CREATE_DATA_SOURCE);
FW_SAME_OPCODE(MANAGER_V1_GET_DATA_DEVICE);
FW_SAME_OPCODE(MANAGER_V1_DESTROY);
FW_SAME_OPCODE(DEVICE_V1_SET_SELECTION);
FW_SAME_OPCODE(DEVICE_V1_DESTROY);
FW_SAME_OPCODE(SOURCE_V1_OFFER);
FW_SAME_OPCODE(SOURCE_V1_DESTROY);
FW_SAME_OPCODE(OFFER_V1_RECEIVE);
FW_SAME_OPCODE(OFFER_V1_DESTROY);
#undef FW_SAME_OPCODE

struct Protocol
{
    const char *label;
    uint32_t maxVersion;
    const wl_interface *manager;
    const wl_interface *device;
    const wl_interface *source;
    const wl_interface *offer;
};

// In order of preference.
const std::array<Protocol, 2> protocols { {
    { "ext-data-control-v1", 1, &ext_data_control_manager_v1_interface,
        &ext_data_control_device_v1_interface, &ext_data_control_source_v1_interface,
        &ext_data_control_offer_v1_interface },
    { "zwlr-data-control-unstable-v1", 2, &zwlr_data_control_manager_v1_interface,
        &zwlr_data_control_device_v1_interface, &zwlr_data_control_source_v1_interface,
        &zwlr_data_control_offer_v1_interface },
} };

// What we read in order of preference, and what we offer. STRING is Latin-1 by its X11 origin.
constexpr std::array<const char *, 5> textTypes { "text/plain;charset=utf-8", "text/plain",
    "UTF8_STRING", "STRING", "TEXT" };
constexpr std::string_view latin1Type = "STRING";

constexpr auto transferBound = std::chrono::seconds(2);

// Our own listener tables, typed for either protocol; laid out as the generated ones.
struct DeviceListener
{
    void (*dataOffer)(void *data, wl_proxy *device, wl_proxy *offer);
    void (*selection)(void *data, wl_proxy *device, wl_proxy *offer);
    void (*finished)(void *data, wl_proxy *device);
    void (*primarySelection)(void *data, wl_proxy *device, wl_proxy *offer);
};
struct SourceListener
{
    void (*send)(void *data, wl_proxy *source, const char *mimeType, int32_t fd);
    void (*cancelled)(void *data, wl_proxy *source);
};
struct OfferListener
{
    void (*offer)(void *data, wl_proxy *offer, const char *mimeType);
};
static_assert(sizeof(DeviceListener) == sizeof(zwlr_data_control_device_v1_listener));
static_assert(sizeof(SourceListener) == sizeof(zwlr_data_control_source_v1_listener));
static_assert(sizeof(OfferListener) == sizeof(zwlr_data_control_offer_v1_listener));

template<typename Listener>
void listen(wl_proxy *proxy, const Listener &listener, void *data)
{
    // libwayland takes any listener as an array of function pointers.
    wl_proxy_add_listener(
        proxy, reinterpret_cast<void (**)(void)>(const_cast<Listener *>(&listener)), data);
}

// A request; `created` is the interface of the object it makes, if any.
template<typename... Args>
wl_proxy *request(wl_proxy *proxy, uint32_t opcode, const wl_interface *created, Args... args)
{
    return wl_proxy_marshal_flags(proxy, opcode, created, wl_proxy_get_version(proxy), 0, args...);
}

void destroy(wl_proxy *proxy, uint32_t opcode)
{
    wl_proxy_marshal_flags(
        proxy, opcode, nullptr, wl_proxy_get_version(proxy), WL_MARSHAL_FLAG_DESTROY);
}

class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd)
    {
    }
    UniqueFd(UniqueFd &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

// The worker's answer to a read: our own text, or the read end of a pipe the owner writes into,
// or neither when the selection holds no text.
struct ReadStart
{
    std::optional<QString> own;
    UniqueFd pipe;
    bool latin1 = false;
};

} // namespace

struct WaylandClipboard::Worker
{
    // Set up by connect(), then fixed.
    const Protocol *protocol = nullptr;
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_seat *seat = nullptr;
    wl_proxy *manager = nullptr;
    struct Global
    {
        uint32_t name = 0;
        uint32_t version = 0;
    };
    std::optional<Global> seatGlobal;
    std::array<std::optional<Global>, protocols.size()> managerGlobals;

    // The worker thread's own, after connect().
    wl_proxy *device = nullptr;
    std::unordered_map<wl_proxy *, QByteArrayList> offers; // each live offer's mime types
    wl_proxy *selection = nullptr; // an entry of offers, or null
    wl_proxy *ownSource = nullptr; // our selection while the compositor has not cancelled it
    QString ownText;
    struct Transfer
    {
        UniqueFd fd;
        QByteArray bytes;
        qsizetype written = 0;
    };
    std::vector<Transfer> transfers; // answers to readers of our selection, written as they read
    bool connected = true;

    // Shared between the threads, under the mutex.
    std::mutex mutex;
    std::vector<std::function<void()>> tasks;
    bool stopping = false;

    UniqueFd wake { eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) };
    std::thread thread;

    ~Worker();
    void post(std::function<void()> task);
    void run();
    void dispatch(short events, bool &flushPending);
    void lose();
    void disconnect();
    void releaseOffer(wl_proxy *offer);
    void startTransfer(UniqueFd fd, QByteArray bytes);
    bool advance(Transfer &transfer); // false once it is finished or failed
    ReadStart startRead();
    void select(const QString &text);

    static void onGlobal(
        void *data, wl_registry *, uint32_t name, const char *interface, uint32_t version);
    static void onGlobalRemove(void *, wl_registry *, uint32_t) { }
    static void onDataOffer(void *data, wl_proxy *, wl_proxy *offer);
    static void onSelection(void *data, wl_proxy *, wl_proxy *offer);
    static void onFinished(void *data, wl_proxy *);
    static void onPrimarySelection(void *data, wl_proxy *, wl_proxy *offer);
    static void onSend(void *data, wl_proxy *source, const char *mimeType, int32_t fd);
    static void onCancelled(void *data, wl_proxy *source);
    static void onOffer(void *data, wl_proxy *offer, const char *mimeType);

    static constexpr wl_registry_listener registryListener { &onGlobal, &onGlobalRemove };
    static constexpr DeviceListener deviceListener { &onDataOffer, &onSelection, &onFinished,
        &onPrimarySelection };
    static constexpr SourceListener sourceListener { &onSend, &onCancelled };
    static constexpr OfferListener offerListener { &onOffer };
};

void WaylandClipboard::Worker::onGlobal(
    void *data, wl_registry *, uint32_t name, const char *interface, uint32_t version)
{
    auto *self = static_cast<Worker *>(data);
    const std::string_view announced(interface);
    if (announced == wl_seat_interface.name && !self->seatGlobal)
        self->seatGlobal = Global { name, version };
    for (std::size_t i = 0; i < protocols.size(); ++i) {
        if (announced == protocols[i].manager->name)
            self->managerGlobals[i] = Global { name, version };
    }
}

void WaylandClipboard::Worker::onDataOffer(void *data, wl_proxy *, wl_proxy *offer)
{
    auto *self = static_cast<Worker *>(data);
    self->offers.emplace(offer, QByteArrayList {});
    listen(offer, offerListener, self);
}

void WaylandClipboard::Worker::onOffer(void *data, wl_proxy *offer, const char *mimeType)
{
    auto *self = static_cast<Worker *>(data);
    if (const auto found = self->offers.find(offer); found != self->offers.end())
        found->second.append(QByteArray(mimeType));
}

void WaylandClipboard::Worker::onSelection(void *data, wl_proxy *, wl_proxy *offer)
{
    auto *self = static_cast<Worker *>(data);
    if (self->selection != nullptr && self->selection != offer)
        self->releaseOffer(self->selection);
    self->selection = offer;
}

void WaylandClipboard::Worker::onPrimarySelection(void *data, wl_proxy *, wl_proxy *offer)
{
    auto *self = static_cast<Worker *>(data);
    if (offer != nullptr && offer != self->selection)
        self->releaseOffer(offer);
}

void WaylandClipboard::Worker::onFinished(void *data, wl_proxy *)
{
    // The seat is gone: nothing to read or set any more.
    auto *self = static_cast<Worker *>(data);
    DebugLog::note(u"Wayland clipboard: the compositor withdrew the seat's data device"_s);
    self->lose();
}

void WaylandClipboard::Worker::onSend(
    void *data, wl_proxy *source, const char *mimeType, int32_t fd)
{
    auto *self = static_cast<Worker *>(data);
    UniqueFd target(fd);
    if (source != self->ownSource)
        return; // closing the fd tells the reader there is nothing
    self->startTransfer(std::move(target),
        mimeType == latin1Type ? self->ownText.toLatin1() : self->ownText.toUtf8());
}

void WaylandClipboard::Worker::onCancelled(void *data, wl_proxy *source)
{
    auto *self = static_cast<Worker *>(data);
    if (source == self->ownSource) {
        self->ownSource = nullptr;
        self->ownText.clear();
    }
    destroy(source, ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY);
}

void WaylandClipboard::Worker::releaseOffer(wl_proxy *offer)
{
    offers.erase(offer);
    destroy(offer, ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);
}

void WaylandClipboard::Worker::lose()
{
    while (!offers.empty())
        releaseOffer(offers.begin()->first);
    selection = nullptr;
    if (ownSource != nullptr)
        destroy(std::exchange(ownSource, nullptr), ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY);
    ownText.clear();
    if (device != nullptr)
        destroy(std::exchange(device, nullptr), ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY);
}

void WaylandClipboard::Worker::startTransfer(UniqueFd fd, QByteArray bytes)
{
    // The reader's pipe: never wait for it on this thread.
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags < 0 || fcntl(fd.get(), F_SETFL, flags | O_NONBLOCK) < 0)
        return;
    Transfer transfer { std::move(fd), std::move(bytes) };
    if (advance(transfer))
        transfers.push_back(std::move(transfer));
}

bool WaylandClipboard::Worker::advance(Transfer &transfer)
{
    while (transfer.written < transfer.bytes.size()) {
        const ssize_t n = ::write(transfer.fd.get(), transfer.bytes.constData() + transfer.written,
            static_cast<size_t>(transfer.bytes.size() - transfer.written));
        if (n == 0)
            return false;
        if (n > 0) {
            transfer.written += n;
        } else if (n < 0 && errno == EAGAIN) {
            return true;
        } else if (n < 0 && errno != EINTR) {
            if (errno == EPIPE) {
                // The reader left. SIGPIPE is blocked on this thread: take the pending one.
                sigset_t pipeSignal;
                sigemptyset(&pipeSignal);
                sigaddset(&pipeSignal, SIGPIPE);
                const timespec now {};
                sigtimedwait(&pipeSignal, nullptr, &now);
            }
            return false;
        }
    }
    return false;
}

ReadStart WaylandClipboard::Worker::startRead()
{
    if (ownSource != nullptr)
        return { ownText, UniqueFd(), false };
    if (selection == nullptr)
        return {};
    const auto found = offers.find(selection);
    if (found == offers.end())
        return {};
    const QByteArrayList &offered = found->second;
    const auto type = std::find_if(textTypes.begin(), textTypes.end(),
        [&](const char *candidate) { return offered.contains(QByteArray(candidate)); });
    if (type == textTypes.end())
        return {};
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) < 0)
        return {};
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    // Only our end is non-blocking; the owner writes into its own file description.
    if (fcntl(readEnd.get(), F_SETFL, O_NONBLOCK) < 0)
        return {};
    // libwayland sends a duplicate; ours closes so that EOF comes when the owner closes its copy.
    request(selection, ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE, nullptr, *type, writeEnd.get());
    return { std::nullopt, std::move(readEnd), *type == latin1Type };
}

void WaylandClipboard::Worker::select(const QString &text)
{
    if (device == nullptr)
        return;
    wl_proxy *source = request(
        manager, ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE, protocol->source, nullptr);
    listen(source, sourceListener, this);
    for (const char *type : textTypes)
        request(source, ZWLR_DATA_CONTROL_SOURCE_V1_OFFER, nullptr, type);
    request(device, ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION, nullptr, source);
    if (ownSource != nullptr)
        destroy(ownSource, ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY);
    ownSource = source;
    ownText = text;
}

void WaylandClipboard::Worker::post(std::function<void()> task)
{
    {
        const std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
    }
    eventfd_write(wake.get(), 1);
}

void WaylandClipboard::Worker::run()
{
    // A reader that closes its pipe early must cost us an EPIPE, not the process.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    const int displayFd = wl_display_get_fd(display);
    bool flushPending = false;
    for (;;) {
        if (connected) {
            while (connected && wl_display_prepare_read(display) != 0) {
                if (wl_display_dispatch_pending(display) < 0)
                    disconnect();
            }
        }
        if (connected)
            flushPending = wl_display_flush(display) < 0 && errno == EAGAIN;

        std::vector<pollfd> watched { { wake.get(), POLLIN, 0 },
            { connected ? displayFd : -1, short(POLLIN | (flushPending ? POLLOUT : 0)), 0 } };
        for (const Transfer &transfer : transfers)
            watched.push_back({ transfer.fd.get(), POLLOUT, 0 });
        const int ready = poll(watched.data(), watched.size(), -1);
        if (connected)
            dispatch(ready > 0 ? watched[1].revents : short(0), flushPending);

        // Those that dispatch() just started come after the polled ones and wait for the next
        // round.
        for (std::size_t i = watched.size() - 2; i-- > 0;) {
            if (ready > 0 && watched[2 + i].revents != 0 && !advance(transfers[i]))
                transfers.erase(transfers.begin() + qsizetype(i));
        }

        if (ready > 0 && (watched[0].revents & POLLIN) != 0) {
            eventfd_t count;
            eventfd_read(wake.get(), &count);
            std::vector<std::function<void()>> batch;
            bool stop = false;
            {
                const std::lock_guard lock(mutex);
                batch.swap(tasks);
                stop = stopping;
            }
            for (const auto &task : batch)
                task();
            if (stop)
                return;
        }
    }
}

void WaylandClipboard::Worker::dispatch(short events, bool &flushPending)
{
    // Always ends the read prepared before poll().
    bool failed = false;
    if ((events & (POLLIN | POLLERR | POLLHUP)) != 0)
        failed = wl_display_read_events(display) < 0;
    else
        wl_display_cancel_read(display);
    if (!failed && (events & POLLOUT) != 0)
        flushPending = wl_display_flush(display) < 0 && errno == EAGAIN;
    if (failed || wl_display_dispatch_pending(display) < 0)
        disconnect();
}

void WaylandClipboard::Worker::disconnect()
{
    DebugLog::note(u"Wayland clipboard: the connection to the compositor failed"_s);
    connected = false;
    lose();
}

WaylandClipboard::Worker::~Worker()
{
    if (thread.joinable()) {
        {
            const std::lock_guard lock(mutex);
            stopping = true;
        }
        eventfd_write(wake.get(), 1);
        thread.join();
    }
    // The worker has ended: its objects are ours now.
    lose();
    if (manager != nullptr)
        destroy(manager, ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY);
    if (seat != nullptr)
        wl_proxy_destroy(reinterpret_cast<wl_proxy *>(seat));
    if (registry != nullptr)
        wl_registry_destroy(registry);
    if (display != nullptr) {
        wl_display_flush(display);
        wl_display_disconnect(display);
    }
}

std::unique_ptr<WaylandClipboard> WaylandClipboard::connect()
{
    // A compositor that started us hands its socket to the first connection: that is Qt's.
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_SOCKET"))
        return nullptr;
    auto worker = std::make_unique<Worker>();
    worker->display = wl_display_connect(nullptr);
    if (worker->display == nullptr || worker->wake.get() < 0)
        return nullptr;
    worker->registry = wl_display_get_registry(worker->display);
    wl_registry_add_listener(worker->registry, &Worker::registryListener, worker.get());
    if (wl_display_roundtrip(worker->display) < 0 || !worker->seatGlobal)
        return nullptr;
    const auto chosen = std::find_if(worker->managerGlobals.begin(), worker->managerGlobals.end(),
        [](const auto &global) { return global.has_value(); });
    if (chosen == worker->managerGlobals.end())
        return nullptr;
    const Protocol &protocol = protocols[std::size_t(chosen - worker->managerGlobals.begin())];
    worker->protocol = &protocol;
    worker->manager = static_cast<wl_proxy *>(wl_registry_bind(worker->registry, (*chosen)->name,
        protocol.manager, std::min((*chosen)->version, protocol.maxVersion)));
    worker->seat = static_cast<wl_seat *>(
        wl_registry_bind(worker->registry, worker->seatGlobal->name, &wl_seat_interface, 1));
    worker->device = request(worker->manager, ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE,
        protocol.device, nullptr, worker->seat);
    listen(worker->device, Worker::deviceListener, worker.get());
    // The current selection arrives in answer to the device: known before the first read.
    if (wl_display_roundtrip(worker->display) < 0)
        return nullptr;
    Worker *running = worker.get();
    worker->thread = std::thread([running] { running->run(); });
    return std::unique_ptr<WaylandClipboard>(new WaylandClipboard(std::move(worker)));
}

WaylandClipboard::WaylandClipboard(std::unique_ptr<Worker> worker)
    : m_worker(std::move(worker))
{
}

WaylandClipboard::~WaylandClipboard() = default;

QString WaylandClipboard::protocolName() const
{
    return QString::fromLatin1(m_worker->protocol->label);
}

void WaylandClipboard::setString(const QString &text)
{
    Worker *worker = m_worker.get();
    m_worker->post([worker, text] { worker->select(text); });
}

std::optional<QString> WaylandClipboard::string() const
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + transferBound;
    Worker *worker = m_worker.get();
    auto answer = std::make_shared<std::promise<ReadStart>>();
    auto started = answer->get_future();
    m_worker->post([worker, answer] { answer->set_value(worker->startRead()); });
    if (started.wait_until(deadline) != std::future_status::ready)
        return std::nullopt;
    ReadStart start = started.get();
    if (start.own)
        return start.own;
    if (start.pipe.get() < 0)
        return std::nullopt;

    QByteArray bytes;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable { start.pipe.get(), POLLIN, 0 };
        if (left.count() <= 0 || poll(&readable, 1, int(left.count())) == 0) {
            DebugLog::note(u"Wayland clipboard: the selection's owner did not deliver its text "
                           u"within %1 s"_s.arg(transferBound.count()));
            return std::nullopt;
        }
        char chunk[65536];
        const ssize_t n = ::read(start.pipe.get(), chunk, sizeof chunk);
        if (n == 0)
            break;
        if (n > 0)
            bytes.append(chunk, n);
        else if (errno != EAGAIN && errno != EINTR)
            return std::nullopt;
    }
    return start.latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
}

} // namespace Ferrowick
