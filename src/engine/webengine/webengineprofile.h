#pragma once

class QWebEngineProfile;

namespace pagrion {

// The profile every page of the full browser opens in, so that all of them
// share one login. With a program cookie store (CookieStore::current()) it
// is the store's: its cookies follow the store, and it keeps its cache and
// the pages' own storage in the folder "browser" beside the store's file.
// Only one process at a time can keep them there; another one (a second
// window, pagrion-cli beside the window) keeps them in memory, still with
// the store's cookies. Without a store it is Qt's default profile, which
// keeps nothing.
QWebEngineProfile *browserProfile();

} // namespace pagrion
