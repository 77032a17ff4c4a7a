#include "runtime/ending_watch.h"

#include "runtime/handler.h"

void EndingWatch::keepAtExit()
{
    Handler::keepUnsavedNow();
}
