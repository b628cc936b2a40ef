#pragma once
// Credential names; each value equals its name. The session persists
// credentials under the same names.

inline constexpr char kOAuthCredentialConsumerKey[] = "kOAuthCredentialConsumerKey";
inline constexpr char kOAuthCredentialConsumerSecret[] = "kOAuthCredentialConsumerSecret";
inline constexpr char kOAuthCredentialUsername[] = "kOAuthCredentialUsername";
inline constexpr char kOAuthCredentialPassword[] = "kOAuthCredentialPassword";
inline constexpr char kOAuthCredentialRequestToken[] = "kOAuthCredentialRequestToken";
inline constexpr char kOAuthCredentialRequestTokenSecret[] = "kOAuthCredentialRequestTokenSecret";
inline constexpr char kOAuthCredentialAccessToken[] = "kOAuthCredentialAccessToken";
inline constexpr char kOAuthCredentialAccessTokenSecret[] = "kOAuthCredentialAccessTokenSecret";
inline constexpr char kOAuthCredentialSessionHandle[] = "kOAuthCredentialSessionHandle";
inline constexpr char kOAuthSignatureMethod[] = "kOAuthSignatureMethod";
inline constexpr char kOAuthVersionParameter[] = "versionParameter";
