#pragma once
// One curl multi handle driven by the Qt event loop of the thread that made
// it: a socket notifier for each socket curl watches and one single-shot
// timer for curl's own deadlines. Transfers hear of progress and of their end
// only once curl has returned, never from inside a curl callback, so they may
// then remove themselves, or other transfers, or start new ones.

#include <curl/curl.h>

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

#include "cs_trust.h"

class QSocketNotifier;

class CSCurlTransfer {
public:
    // Progress noted with CSCurlMulti::noteProgress since the last call.
    virtual void curlProgressed() = 0;
    // The transfer has ended and its handle is no longer in the multi.
    virtual void curlFinished(CURLcode result) = 0;

protected:
    ~CSCurlTransfer() = default;
};

class CSCurlMulti : public QObject, public std::enable_shared_from_this<CSCurlMulti> {
public:
    explicit CSCurlMulti(std::shared_ptr<const CSTrustPolicy> policy);
    ~CSCurlMulti() override;
    CSCurlMulti(const CSCurlMulti&) = delete;
    CSCurlMulti& operator=(const CSCurlMulti&) = delete;

    // The multi of the calling thread for this policy (one per trust policy,
    // since curl reuses a connection for any request to the same host).
    static std::shared_ptr<CSCurlMulti> forPolicy(std::shared_ptr<const CSTrustPolicy> policy);
    // Forgets the calling thread's multis: each closes its idle connections
    // once no transfer uses it any more.
    static void closeIdleConnections();

    const CSTrustPolicy& policy() const { return *policy_; }

    // Starts a configured easy handle. False when curl refuses it.
    bool add(CURL* easy, CSCurlTransfer* transfer);
    // Stops it; no call reaches its transfer afterwards. Never from inside a curl callback.
    void remove(CURL* easy);
    // From inside a curl callback: call curlProgressed once curl has returned.
    void noteProgress(CSCurlTransfer* transfer);

private:
    struct NotifierDeleter {
        void operator()(QSocketNotifier* n) const;
    };
    using Notifier = std::unique_ptr<QSocketNotifier, NotifierDeleter>;
    struct Watch {
        Notifier read;
        Notifier write;
    };

    static int onSocket(CURL* easy, curl_socket_t fd, int what, void* self, void* socketData);
    static int onTimer(CURLM* multi, long timeoutMs, void* self);
    void watch(curl_socket_t fd, int what);
    Notifier makeNotifier(curl_socket_t fd, bool forWriting);
    void act(curl_socket_t fd, int events);
    void dispatch();

    std::shared_ptr<const CSTrustPolicy> policy_;
    CURLM* multi_ = nullptr;
    QTimer timer_;
    std::map<curl_socket_t, Watch> watches_;
    std::map<CURL*, CSCurlTransfer*> transfers_;
    std::vector<CSCurlTransfer*> progressed_;
};
