# The public line: the headers an application includes, all of them under include/. The
# install puts exactly these under the SDK's include folder; the public-header check compiles
# each one alone, and the example, with nothing but include/ on the include path.
set(VOZAVE_PUBLIC_HEADERS
    include/vozave/Vozave.h
    include/vozave/AdNetwork.h
    include/vozave/BannerView.h
    include/vozave/BannerViewDelegate.h
    include/vozave/InterstitialAd.h
    include/vozave/Privacy.h
    include/vozave/RewardedAd.h
    include/vozave/Request.h
    include/vozave/RequestError.h
    include/vozave/Signals.h
    include/velourphone/Phone.h
    include/velourphone/Animation.h
    include/velourphone/Application.h
    include/velourphone/ApplicationMain.h
    include/velourphone/ClassRegistry.h
    include/velourphone/Device.h
    include/velourphone/Error.h
    include/velourphone/Export.h
    include/velourphone/Geometry.h
    include/velourphone/Registration.h
    include/velourphone/Responder.h
    include/velourphone/Result.h
    include/velourphone/RunLoop.h
    include/velourphone/Screen.h
    include/velourphone/Time.h
    include/velourphone/URL.h
    include/velourphone/Value.h
    include/velourphone/View.h
    include/velourphone/ViewController.h
    include/velourphone/Window.h)
# Generated into the build folder's include/.
set(VOZAVE_GENERATED_PUBLIC_HEADERS vozave/Version.h)
