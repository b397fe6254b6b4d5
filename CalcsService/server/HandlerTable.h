// The request handlers of the calculations service, by packet type.
#pragma once

#include "packets/PacketProcessor.h"

// A fresh table with every handler that the service serves.
Packets::PacketProcessor::HandlerTable calcsHandlerTable();
