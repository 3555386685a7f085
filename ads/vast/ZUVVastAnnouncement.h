#pragma once

#include <string>

// What a full-screen ad request says of the video ads the client plays, under the "vast"
// parameter: the VAST versions read and the media types played, "VERSIONS;TYPES", each list
// comma-separated ("2.0,3.0,4.0,4.1,4.2,4.3;video/mp4,video/webm"). The ad controller adds it
// to interstitial and rewarded requests; an ad server that sees it may answer with VAST.
std::string ZUVVastAnnouncement();
