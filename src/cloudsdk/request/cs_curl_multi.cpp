#include "cs_curl_multi.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <mutex>

namespace {

using Registry = std::map<std::string, std::shared_ptr<CSCurlMulti>>;

Registry& threadMultis() {
    thread_local Registry multis;
    return multis;
}

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

void CSCurlMulti::NotifierDeleter::operator()(QSocketNotifier* n) const {
    // It may be the one whose signal is being delivered right now.
    n->setEnabled(false);
    n->deleteLater();
}

CSCurlMulti::CSCurlMulti(std::shared_ptr<const CSTrustPolicy> policy) : policy_(std::move(policy)) {
    initCurlOnce();
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CSCurlMulti::onSocket);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CSCurlMulti::onTimer);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CSCurlMulti::~CSCurlMulti() {
    for (const auto& [easy, transfer] : transfers_)
        curl_multi_remove_handle(multi_, easy);
    // Closes the pooled connections, which may still call onSocket.
    curl_multi_cleanup(multi_);
    watches_.clear();
}

std::shared_ptr<CSCurlMulti> CSCurlMulti::forPolicy(std::shared_ptr<const CSTrustPolicy> policy) {
    auto& slot = threadMultis()[policy->key()];
    if (!slot)
        slot = std::make_shared<CSCurlMulti>(std::move(policy));
    return slot;
}

void CSCurlMulti::closeIdleConnections() {
    threadMultis().clear();
}

bool CSCurlMulti::add(CURL* easy, CSCurlTransfer* transfer) {
    transfers_[easy] = transfer;
    if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
        transfers_.erase(easy);
        return false;
    }
    return true;
}

void CSCurlMulti::remove(CURL* easy) {
    auto it = transfers_.find(easy);
    if (it == transfers_.end())
        return;
    std::erase(progressed_, it->second);
    transfers_.erase(it);
    curl_multi_remove_handle(multi_, easy);
}

void CSCurlMulti::noteProgress(CSCurlTransfer* transfer) {
    if (std::find(progressed_.begin(), progressed_.end(), transfer) == progressed_.end())
        progressed_.push_back(transfer);
}

int CSCurlMulti::onSocket(CURL*, curl_socket_t fd, int what, void* self, void*) {
    static_cast<CSCurlMulti*>(self)->watch(fd, what);
    return 0;
}

int CSCurlMulti::onTimer(CURLM*, long timeoutMs, void* self) {
    auto* multi = static_cast<CSCurlMulti*>(self);
    if (timeoutMs < 0) {
        multi->timer_.stop();
    } else {
        // Never act from inside curl: a zero delay runs from the loop.
        multi->timer_.start(static_cast<int>(std::min<long>(timeoutMs, 1 << 30)));
    }
    return 0;
}

CSCurlMulti::Notifier CSCurlMulti::makeNotifier(curl_socket_t fd, bool forWriting) {
    Notifier n(
        new QSocketNotifier(fd, forWriting ? QSocketNotifier::Write : QSocketNotifier::Read, this));
    const int events = forWriting ? CURL_CSELECT_OUT : CURL_CSELECT_IN;
    connect(n.get(), &QSocketNotifier::activated, this, [this, fd, events] { act(fd, events); });
    return n;
}

void CSCurlMulti::watch(curl_socket_t fd, int what) {
    if (what == CURL_POLL_REMOVE) {
        watches_.erase(fd);
        return;
    }
    Watch& w = watches_[fd];
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (wantRead && !w.read)
        w.read = makeNotifier(fd, false);
    if (!wantRead)
        w.read.reset();
    if (wantWrite && !w.write)
        w.write = makeNotifier(fd, true);
    if (!wantWrite)
        w.write.reset();
}

void CSCurlMulti::act(curl_socket_t fd, int events) {
    // A transfer's callback may drop the last other reference to this multi.
    const std::shared_ptr<CSCurlMulti> keep = shared_from_this();
    int running = 0;
    curl_multi_socket_action(multi_, fd, events, &running);
    dispatch();
}

void CSCurlMulti::dispatch() {
    while (!progressed_.empty()) {
        CSCurlTransfer* t = progressed_.front();
        progressed_.erase(progressed_.begin());
        t->curlProgressed();
    }
    int left = 0;
    // One message at a time: removing a handle drops its pending message.
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL* easy = message->easy_handle;
        const CURLcode result = message->data.result;
        auto it = transfers_.find(easy);
        if (it == transfers_.end())
            continue;
        CSCurlTransfer* transfer = it->second;
        remove(easy);
        transfer->curlFinished(result);
    }
}
