#pragma once

// The keys of an ad request's parameters, shared by the request, the statistics, the device
// identifiers and the ad controller.
inline constexpr const char* kZUVParameterSDKVersion = "js";
inline constexpr const char* kZUVParameterIPadCompatibilityMode = "ios_ipadc";
inline constexpr const char* kZUVParameterITunesMetadata = "ios_metadata";
inline constexpr const char* kZUVApplicationName = "app_name";
inline constexpr const char* kZUVParameterJailbroken = "ios_jb";
inline constexpr const char* kZUVParameterDeviceID = "isu";
inline constexpr const char* kZUVParameterNetworkType = "net";
inline constexpr const char* kZUVParameterDeviceModel = "platform";
inline constexpr const char* kZUVParameterDeviceSubmodel = "submodel";
inline constexpr const char* kZUVParameterLocale = "hl";
inline constexpr const char* kZUVParameterAudioOutput = "u_audio";
inline constexpr const char* kZUVParameterScreenOrientation = "u_so";
inline constexpr const char* kZUVParameterScreenDensity = "u_sd";
inline constexpr const char* kZUVParameterScreenWidth = "u_w";
inline constexpr const char* kZUVParameterScreenHeight = "u_h";
inline constexpr const char* kZUVParameterAdSlotID = "slotname";
inline constexpr const char* kZUVParameterAdFormat = "format";
inline constexpr const char* kZUVParameterAdFrame = "ad_frame";
// Interstitial and rewarded requests only: the video the client plays (ZUVVastAnnouncement).
inline constexpr const char* kZUVParameterVast = "vast";
inline constexpr const char* kZUVParameterTesting = "testing";
inline constexpr const char* kZUVParameterExtraParams = "extras";
inline constexpr const char* kZUVParameterGender = "cust_gender";
inline constexpr const char* kZUVParameterBirthday = "cust_age";
inline constexpr const char* kZUVParameterLocation = "uule";
inline constexpr const char* kZUVParameterKeywords = "kw";
// Privacy signals, present only when known.
inline constexpr const char* kZUVParameterGdpr = "gdpr";
inline constexpr const char* kZUVParameterGdprConsent = "gdpr_consent";
inline constexpr const char* kZUVParameterUSPrivacy = "us_privacy";
inline constexpr const char* kZUVParameterGpp = "gpp";
inline constexpr const char* kZUVParameterGppSections = "gpp_sid";
inline constexpr const char* kZUVParameterCoppa = "coppa";
inline constexpr const char* kZUVParameterLimitAdTracking = "lmt";
inline constexpr const char* kZUVParameterPriorRequestLatency = "prl";
inline constexpr const char* kZUVParameterPriorClickLatency = "pcl";
inline constexpr const char* kZUVParameterPriorClickString = "pai";
inline constexpr const char* kZUVParameterPriorPreClickLatency = "ppcl";
inline constexpr const char* kZUVParameterPriorClickRedirectLatency = "pcrl";
inline constexpr const char* kZUVParameterPriorLandingPageLoad = "plpl";
inline constexpr const char* kZUVParameterPriorLandingPageDuration = "plpd";
inline constexpr const char* kZUVParameterPriorClickBreakOut = "pcbo";
inline constexpr const char* kZUVParameterTotalAdRequests = "preqs";
inline constexpr const char* kZUVParameterTimeSinceFirstRequest = "ptime";
inline constexpr const char* kZUVParameterPriorClickBackgroundedApp = "pclb";
inline constexpr const char* kZUVParameterPriorLandingPageNavCount = "plpnc";
inline constexpr const char* kZUVParameterPriorLandingPageSSLNavCount = "plpsnc";
inline constexpr const char* kZUVParameterPriorImpressionTicketString = "pit";
inline constexpr const char* kZUVParameterPriorClickCount = "pcc";
inline constexpr const char* kZUVParameterAppOpenInterstitialTimedOut = "aoi_timedout";
inline constexpr const char* kZUVParameterAppOpenInterstitialNoFill = "aoi_nofill";
