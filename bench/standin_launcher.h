#pragma once

class QProcess;

// Starts the stand-in conference on the session bus and waits (bounded)
// until it owns the conference's name.
bool startStandin(QProcess &standin);
