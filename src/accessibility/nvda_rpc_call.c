#include <windows.h>
#include <excpt.h>

#include "accessibility/nvda_rpc_call.h"
#include "nvda_controller_rpc.h"

#include <stdlib.h>

// What the stubs allocate and free, as the RPC run-time asks every program to say.
void *__RPC_USER MIDL_user_allocate(size_t size)
{
    return malloc(size);
}

void __RPC_USER MIDL_user_free(void *memory)
{
    free(memory);
}

// Takes what the RPC run-time raises (its codes are Win32 error numbers,
// below 0x10000); anything else, an access violation for one, is not a
// failed call and is left to whoever handles it.
LONG __cdecl nvda_rpc_filter(EXCEPTION_POINTERS *exception, void *frame);
LONG __cdecl nvda_rpc_filter(EXCEPTION_POINTERS *exception, void *frame)
{
    (void)frame;
    return exception->ExceptionRecord->ExceptionCode < 0x10000 ? EXCEPTION_EXECUTE_HANDLER
                                                               : EXCEPTION_CONTINUE_SEARCH;
}

// Not inlined: the guarded range below then holds one call and nothing the
// compiler could move out of it.
__attribute__((noinline)) static unsigned long call(enum NvdaProcedure procedure, const wchar_t *text)
{
    switch (procedure) {
    case NvdaTestIfRunning:
        return nvdaController_testIfRunning();
    case NvdaSpeakText:
        return nvdaController_speakText(text);
    case NvdaBrailleMessage:
        return nvdaController_brailleMessage(text);
    }
    return RPC_S_PROCNUM_OUT_OF_RANGE;
}

// The handler is the system's own __C_specific_handler, given the range of
// the call and where to go on: MinGW's __try1 and __except1 (one pair a file).
__attribute__((noinline)) unsigned long nvda_rpc_call(handle_t binding, enum NvdaProcedure procedure,
                                                      const wchar_t *text)
{
    volatile unsigned long status = RPC_S_CALL_FAILED;
    nvdaControllerBinding = binding;
    __try1(nvda_rpc_filter)
    status = call(procedure, text);
    __except1
    return status;
}
