#pragma once
// Copies the user's settings into the wizard's controls at start-up and back
// at exit. The controls hold the values in between; nothing else touches
// the settings key.
#include "platform/KeyStore.h"

// Every form must exist. Missing or unreadable values give the defaults.
void LoadSettings(platform::IKeyStore &key);
// Page and layout values are written only while the last layout was valid,
// so a run that ended with an impossible layout keeps the previous ones.
// Passwords are never written. False when the key could not be written.
bool SaveSettings(platform::IKeyStore &key);
