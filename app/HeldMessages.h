// The skin's messages at the automatic start: at logon nobody may be there to answer a message
// box, and a box shown while the window is made would hold up the check until someone does. They
// wait instead and are shown once the check has had its reply or the reader opens the window.
#pragma once

namespace evesk {

// From now on the skin's messages wait (call before the main window is made).
void HoldSkinMessages();
// Shows the waiting messages, in their order, and lets later ones show at once.
void ShowHeldSkinMessages();

}  // namespace evesk
