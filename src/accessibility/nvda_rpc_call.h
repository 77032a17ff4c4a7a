#pragma once

// The procedures of NVDA's controller interface that the program calls, each
// made through an RPC binding of its own. Plain C: the RPC run-time raises a
// failure (the reader gone, the call refused) as an exception, which C++ as
// MinGW builds it cannot catch; here it is caught, as MIDL's RpcTryExcept
// would, and given back as the call's status.
#include <rpc.h>

#ifdef __cplusplus
extern "C" {
#endif

enum NvdaProcedure { NvdaTestIfRunning, NvdaSpeakText, NvdaBrailleMessage };

// The procedure's status: 0 when done, else why not (RPC_S_SERVER_UNAVAILABLE
// when nothing serves the binding's endpoint).
unsigned long nvda_rpc_call(handle_t binding, enum NvdaProcedure procedure, const wchar_t *text);

#ifdef __cplusplus
}
#endif
