#pragma once
// An observer of network activity (a spinner, for instance), told when each
// request starts and when it stops. The client context names the one in use;
// nothing sets one here.

class CSNetworkRequestDelegate {
public:
    virtual ~CSNetworkRequestDelegate() = default;
    virtual void networkRequestStarted() = 0;
    virtual void networkRequestStopped() = 0;
};

// Tell `observer`, when there is one. Main thread only, like the requests.
void CSNetworkRequestStarted(CSNetworkRequestDelegate* observer);
void CSNetworkRequestStopped(CSNetworkRequestDelegate* observer);
