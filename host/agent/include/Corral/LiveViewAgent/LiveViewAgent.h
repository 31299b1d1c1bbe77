#pragma once
// The live-view agent: connects a live-view application that corral-host
// started (with --live-view) to the page in the host's process.
//
// Call connectLiveViewToHost() once on the main thread after launch, after
// SGHInitialize() (a Stagehand application delegate calls it at launch)
// and after the live view has made itself the page's live view. The agent
// then
//   - replaces the sender that discards every message with one that writes
//     each message to the host (blocking while the connection is full);
//   - reports "liveViewMessageConnectionOpened" to the live view;
//   - hands each message from the page to "deliverLiveViewMessage:" on the
//     main run loop;
//   - when the page's side closes, reports "liveViewMessageConnectionClosed"
//     and then ends the application (status 0) once the work queued
//     by then has run;
//   - when the host asks for pictures (CORRAL_LIVE_VIEW_PICTURE_SOCKET),
//     sends an SVG picture of the live view after every layout pass of the
//     application's key window that changed it, so that a host showing the
//     live view elsewhere (the studio, in a browser) can draw it. For that
//     it takes the key window's layout-pass observer (ui::Window has one).
//
//     bool application(ui::Application& app, const base::Ref<base::Dictionary>& options) override {
//         bool launched = stagehand::AppDelegate::application(app, options);
//         liveviewagent::connectLiveViewToHost();
//         return launched;
//     }

#include "Corral/LiveViewAgent/LiveViewAgentExport.h"

namespace liveviewagent {

// Connects to the host through the socket named by the environment variable
// CORRAL_LIVE_VIEW_SOCKET. False, and nothing changes, when the variable is
// not set or names no socket: the application runs on its own.
LIVE_VIEW_AGENT_EXPORT bool connectLiveViewToHost();

}  // namespace liveviewagent
