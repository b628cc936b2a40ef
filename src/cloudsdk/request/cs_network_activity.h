#pragma once
// The class-wide observer of network activity (a spinner, for instance).
// Told when each request starts and when it stops. Nothing sets one here.

class CSNetworkRequestDelegate {
public:
    virtual ~CSNetworkRequestDelegate() = default;
    virtual void networkRequestStarted() = 0;
    virtual void networkRequestStopped() = 0;
};

// Not owned; null for none. Main thread only, like the requests.
void CSSetNetworkRequestDelegate(CSNetworkRequestDelegate* delegate);
CSNetworkRequestDelegate* CSNetworkRequestDelegateInstance();
void CSNetworkRequestStarted();
void CSNetworkRequestStopped();
