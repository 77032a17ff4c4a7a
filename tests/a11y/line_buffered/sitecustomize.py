# Loaded by Python at start-up where this folder is on PYTHONPATH: the file
# named by VELMORA_LINE_BUFFERED is written a line at a time, so that a test
# can wait on what a program (Orca, into its debug log) has just written.
import builtins
import os

_open = builtins.open
_target = os.environ.get("VELMORA_LINE_BUFFERED")


def _open_line_buffered(file, mode="r", buffering=-1, *args, **kwargs):
    if _target and file == _target and "w" in mode:
        buffering = 1
    return _open(file, mode, buffering, *args, **kwargs)


builtins.open = _open_line_buffered
