#pragma once

#include <memory>
#include <string_view>

class CSSession;
struct CSClientContext;

// The application's identity with the cloud service, and the shared session
// made from it.
namespace cloud {

inline constexpr std::string_view kAppKey = "q7w2k9x4m1z8r5t";
inline constexpr std::string_view kAppSecret = "h3n6p0v2c8j5y1f";

// A new session with the app key, the secret and the root "cloud"; making it
// loads the stored credentials.
std::shared_ptr<CSSession> makeSession(CSClientContext& context);

// The context's shared session, made and shared first when there is none, so that a
// stored account works at once after a start and a link answer that arrives
// at a fresh start is taken.
std::shared_ptr<CSSession> sharedSession(CSClientContext& context);

} // namespace cloud
