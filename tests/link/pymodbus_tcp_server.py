#!/usr/bin/python3
"""An independent Modbus server on the loopback address for the network tests (pymodbus 3.0).

Serves holding registers 0 to 199 of one unit, as pymodbus_slave.py does: register a holds
(a * 7 + 0x0100) mod 0x10000. FRAMER is "tcp" (Modbus TCP) or "rtu" (RTU frames over TCP, as
a gateway in transparent mode passes them). With "refuse-echo" the diagnostics echo gets
exception 01 instead of its echo. With "close-after=N" the server answers N register reads
and ends at the next one, so that the system closes the connection under a running recording.
Prints "ready PORT" once it listens on 127.0.0.1:PORT (a free port the system picked).

Usage: pymodbus_tcp_server.py FRAMER STATION [refuse-echo | close-after=N]
"""

import asyncio
import logging
import os
import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.pdu import ExceptionResponse
from pymodbus.server.async_io import ModbusTcpServer
from pymodbus.transaction import ModbusRtuFramer, ModbusSocketFramer

REGISTER_COUNT = 200
DIAGNOSTICS = 0x08
READ_HOLDING_REGISTERS = 0x03
ILLEGAL_FUNCTION = 0x01


def register_value(address):
    return (address * 7 + 0x0100) & 0xFFFF


def refusing_echo(response):
    if response.function_code == DIAGNOSTICS:
        refused = ExceptionResponse(DIAGNOSTICS, ILLEGAL_FUNCTION)
        refused.transaction_id = response.transaction_id
        refused.unit_id = response.unit_id
        return refused, False
    return response, False


def closing_after(reads):
    answered = [0]

    def manipulate(response):
        if response.function_code == READ_HOLDING_REGISTERS:
            if answered[0] == reads:
                # The process ends without a word: the system closes its connections.
                os._exit(0)
            answered[0] += 1
        return response, False
    return manipulate


async def serve(framer, station, manipulator):
    block = ModbusSequentialDataBlock(0, [register_value(a) for a in range(REGISTER_COUNT)])
    slave = ModbusSlaveContext(hr=block, zero_mode=True)
    # Not "single": requests to other units go unanswered, as behind a gateway.
    context = ModbusServerContext(slaves={station: slave}, single=False)
    server = ModbusTcpServer(context, framer=framer, address=("127.0.0.1", 0),
                             ignore_missing_slaves=True,
                             response_manipulator=manipulator)
    task = asyncio.create_task(server.serve_forever())
    await server.serving
    port = server.server.sockets[0].getsockname()[1]
    print("ready %d" % port, flush=True)
    await task


def main():
    if len(sys.argv) not in (3, 4) or sys.argv[1] not in ("tcp", "rtu"):
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    framer = ModbusSocketFramer if sys.argv[1] == "tcp" else ModbusRtuFramer
    option = sys.argv[3] if len(sys.argv) == 4 else ""
    manipulator = None
    if option == "refuse-echo":
        manipulator = refusing_echo
    elif option.startswith("close-after="):
        manipulator = closing_after(int(option[len("close-after="):]))
    elif option:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    logging.basicConfig(level=logging.ERROR)
    try:
        asyncio.run(serve(framer, int(sys.argv[2]), manipulator))
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
