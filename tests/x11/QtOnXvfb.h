#pragma once

#include "XvfbSession.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace ostrevane::x11test {

// The session the tests of a program that runs Qt on Xvfb share (null while listing).
inline XvfbSession*& qtSession()
{
    static XvfbSession* session = nullptr;
    return session;
}

// A test program's main for tests of code on Qt's own xcb connection: Qt runs on a private
// Xvfb (offscreen when none can start, so the tests fail with the session's reason). Test
// discovery lists the tests without starting a server.
inline int runTestsWithQtOnXvfb(int argc, char** argv, XvfbSession::WindowManager manager)
{
    std::unique_ptr<XvfbSession> session;
    const bool listing = std::any_of(argv, argv + argc, [](const char* a) { return std::strstr(a, "gtest_list_tests"); });
    if (!listing) {
        session = std::make_unique<XvfbSession>(manager);
        qtSession() = session.get();
        if (session->isReady()) {
            qputenv("DISPLAY", session->display());
            qputenv("QT_QPA_PLATFORM", "xcb");
        }
    }
    if (!session || !session->isReady())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // ends before the session: Qt's connection keeps its server
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace ostrevane::x11test
