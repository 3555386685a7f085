#pragma once

#include <memory>

#include "vozave/BannerView.h"

class ZUVObjectPrivate;

// The banner's ad controller, kept in the private-object registry under the banner's address;
// null for a banner not yet initialised. The seam by which the banner itself, velour and the
// tests reach the controller that the public class keeps to itself.
std::shared_ptr<ZUVObjectPrivate> ZUVBannerController(const ZUVBannerView& banner);
