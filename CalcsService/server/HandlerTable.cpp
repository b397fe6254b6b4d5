#include "server/HandlerTable.h"

#include "handlers/HandlerRegistry.h"

Packets::PacketProcessor::HandlerTable calcsHandlerTable() { return Handlers::calculationHandlers(); }
