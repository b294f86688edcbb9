#include "1-platform/LoaderLock.h"

namespace ostak {

namespace {
// Created when the library is loaded, destroyed when it is unloaded.
LoaderLock g_loaderLock;
} // namespace

LoaderLock::~LoaderLock() {
    pthread_mutex_destroy(&mutex_);
}

void LoaderLock::Enter() noexcept {
    pthread_mutex_lock(&mutex_);
}

void LoaderLock::Leave() noexcept {
    pthread_mutex_unlock(&mutex_);
}

LoaderLock &LoaderLock::Instance() noexcept {
    return g_loaderLock;
}

} // namespace ostak
