// Every numbered text the program asks the resource libraries for: the one list that the string
// library "kestrares.dll" must cover (tests/strings checks the texts against it and the sources
// against it). Code keeps writing the plain numbers; add a new id here first.
//   #define X(id) ...
//   OV_MESSAGE_IDS(X)
#pragma once

// clang-format off
#define OV_MESSAGE_IDS(X)                                                                          \
    /* names, captions and settings: help folder, restart caption, folder picker title, */         \
    /* program group, publisher, library probe, product name, window class, web address, */        \
    /* display name, destination folder, agreement title, language, package product code */        \
    X(169) X(20058) X(20130) X(20144) X(20145) X(20160)                                            \
    X(22000) X(22001) X(22003) X(22006) X(22013) X(22078) X(22208) X(22237)                        \
    /* progress texts, dialog texts, button captions, questions, the firewall engine's */          \
    /* confirmation dialog titles, the uninstall progress title */                                 \
    X(24000) X(24001) X(24002) X(24003) X(24004) X(24005) X(24006) X(24007) X(24008)               \
    X(24009) X(24010) X(24011) X(24012) X(24013) X(24014) X(24015) X(24016)                        \
    /* start-menu shortcut names */                                                                \
    X(24500) X(24501) X(24503) X(24504) X(24505) X(24508) X(24509) X(24510) X(24511)               \
    /* messages the user may see: failures and what to do about them */                           \
    X(25001) X(25002) X(25003) X(25005) X(25006) X(25007) X(25008) X(25009) X(25010)               \
    X(25011) X(25012) X(25013) X(25014) X(25015) X(25016) X(25017) X(25018) X(25019)               \
    X(25020) X(25021) X(25022) X(25023) X(25025) X(25026) X(25028) X(25029) X(25030)               \
    X(25031) X(25032) X(25033) X(25034) X(25035) X(25036) X(25038) X(25039) X(25040)               \
    X(25041) X(25042) X(25043) X(25044) X(25045) X(25046) X(25050) X(25051)                        \
    /* the log's fixed words and its progress and detail lines */                                  \
    X(25501) X(25502) X(25504) X(25505) X(25506) X(25507) X(25508) X(25509) X(25510)               \
    X(25511) X(25513) X(25514) X(25515) X(25516) X(25517) X(25518) X(25519) X(25520)               \
    X(25521) X(25522) X(25523) X(25524) X(25525) X(25526) X(25527) X(25528) X(25529)               \
    X(25530) X(25531) X(25532) X(25533) X(25534) X(25535) X(25536) X(25537) X(25538)               \
    X(25540) X(25542) X(25543) X(25544) X(25546) X(25547) X(25548) X(25549) X(25550)               \
    /* a deletion refused because registry data named a system or root folder */                 \
    X(25560)
// clang-format on
