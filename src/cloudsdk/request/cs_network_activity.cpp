#include "cs_network_activity.h"

namespace {
CSNetworkRequestDelegate* networkDelegate = nullptr;
}

void CSSetNetworkRequestDelegate(CSNetworkRequestDelegate* delegate) {
    networkDelegate = delegate;
}

CSNetworkRequestDelegate* CSNetworkRequestDelegateInstance() {
    return networkDelegate;
}

void CSNetworkRequestStarted() {
    if (networkDelegate)
        networkDelegate->networkRequestStarted();
}

void CSNetworkRequestStopped() {
    if (networkDelegate)
        networkDelegate->networkRequestStopped();
}
