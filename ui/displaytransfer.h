#pragma once
// How the window's pixels reach an X display. Qt's default hands them over in shared memory,
// and must then wait for the X server to be done with that memory before it paints the same
// pixels again: a round trip for every pump reply, since every reply repaints the pressure
// read-out in place. A read-out and a step of the chart are a few hundred pixels, cheaper to
// send over the display connection itself than that round trip is, so the console does. Other
// platforms ignore the setting.

namespace displaytransfer {

// The xcb platform's own switch, read when the application connects to the display: any value,
// "0" included, turns shared memory off.
inline constexpr char environmentVariable[] = "QT_XCB_NO_MITSHM";

// Before the QApplication is made.
void chooseSocketTransfer();

} // namespace displaytransfer
