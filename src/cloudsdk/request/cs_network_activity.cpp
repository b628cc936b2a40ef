#include "cs_network_activity.h"

void CSNetworkRequestStarted(CSNetworkRequestDelegate* observer) {
    if (observer)
        observer->networkRequestStarted();
}

void CSNetworkRequestStopped(CSNetworkRequestDelegate* observer) {
    if (observer)
        observer->networkRequestStopped();
}
