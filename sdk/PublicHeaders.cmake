# The public line: the headers an application includes, and the headers they are made of. The
# install puts exactly these under the SDK's include folder; the public-header check fails when
# one of them includes a header of the tree that is not listed here.
set(VOZAVE_PUBLIC_HEADERS
    include/vozave/Vozave.h
    include/vozave/AdNetwork.h
    include/vozave/BannerView.h
    include/vozave/BannerViewDelegate.h
    include/vozave/Request.h
    include/vozave/RequestError.h
    include/vozave/Signals.h
    include/velourphone/Phone.h
    include/velourphone/Application.h
    include/velourphone/Device.h
    include/velourphone/RunLoop.h
    include/velourphone/Value.h
    include/velourphone/View.h
    include/velourphone/ViewController.h
    include/velourphone/Window.h
    ads/core/ZUVAdNetwork.h
    ads/core/ZUVBannerView.h
    ads/core/ZUVBannerViewDelegate.h
    ads/core/ZUVRequest.h
    ads/core/ZUVRequestError.h
    ads/signals/ZUVSignals.h
    ads/support/ZUVErrorDomain.h
    platform/device/Device.h
    platform/foundation/Error.h
    platform/foundation/Export.h
    platform/foundation/Registration.h
    platform/foundation/Result.h
    platform/foundation/RunLoop.h
    platform/foundation/Time.h
    platform/foundation/URL.h
    platform/foundation/Value.h
    platform/ui/Animation.h
    platform/ui/Application.h
    platform/ui/ApplicationMain.h
    platform/ui/Geometry.h
    platform/ui/Responder.h
    platform/ui/Screen.h
    platform/ui/View.h
    platform/ui/ViewController.h
    platform/ui/Window.h)
# Generated into the build folder's include/.
set(VOZAVE_GENERATED_PUBLIC_HEADERS vozave/Version.h)
