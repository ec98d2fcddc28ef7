#include "platform/signals.h"

#include <csignal>

#include "platform/platform.h"

namespace zorvel {

namespace {

volatile std::sig_atomic_t terminationRequested = 0;

extern "C" void OnTerminationSignal(int) {
  terminationRequested = 1;
}

}  // namespace

void InstallTerminationHandlers() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocking wait returns early, so the request is seen at once.
  action.sa_flags = 0;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool TerminationSignalled() {
  return terminationRequested != 0;
}

bool Platform::TerminationRequested() {
  return TerminationSignalled();
}

}  // namespace zorvel
