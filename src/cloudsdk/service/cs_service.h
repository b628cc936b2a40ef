#pragma once
// What the client sends to the cloud storage service and relies on getting back.

#include <string_view>

inline constexpr std::string_view kCSProtocolHTTPS = "https";
inline constexpr std::string_view kCSCloudAPIVersion = "1";
inline constexpr std::string_view kCSRootCloud = "cloud";

// Hosts by role.
inline constexpr std::string_view kCSCloudAPIHost = "api.cloud.example";
inline constexpr std::string_view kCSCloudAPIContentHost = "content.cloud.example";
inline constexpr std::string_view kCSCloudWebHost = "www.cloud.example";

// The service's own app, opened for linking when it is installed.
inline constexpr std::string_view kCSServiceAppScheme = "csapi-2";

inline constexpr std::string_view kCSSDKVersion = "1.0.0";
