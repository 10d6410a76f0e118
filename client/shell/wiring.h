#pragma once

class Form1;
struct StartOptions;

// The one place where the units of behaviour are created and tied together.
// Every unit lives under form.unitOwner(), takes what it needs in its
// constructor and connects the protocol events it handles itself; this file
// only connects one unit's result to the next unit's job.
void WireUnits(Form1 &form, const StartOptions &options);
