#!/usr/bin/python3
"""An independent Modbus RTU slave for the interoperability test (pymodbus 3.0).

Serves holding registers 0 to 199 of one station; register a holds (a * 7 + 0x0100) mod
0x10000. Any other register gets exception 02. Prints "ready" once it listens on the port.

Usage: pymodbus_slave.py PORT STATION BAUD
"""

import asyncio
import logging
import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server.async_io import ModbusSerialServer
from pymodbus.transaction import ModbusRtuFramer

REGISTER_COUNT = 200


def register_value(address):
    return (address * 7 + 0x0100) & 0xFFFF


async def serve(port, station, baud):
    block = ModbusSequentialDataBlock(0, [register_value(a) for a in range(REGISTER_COUNT)])
    slave = ModbusSlaveContext(hr=block, zero_mode=True)
    # Not "single": requests to other stations must go unanswered, as on a shared line.
    context = ModbusServerContext(slaves={station: slave}, single=False)
    server = ModbusSerialServer(context, ModbusRtuFramer, port=port, baudrate=baud,
                                ignore_missing_slaves=True)
    await server.start()
    if server.transport is None:
        print("cannot open " + port, file=sys.stderr, flush=True)
        sys.exit(1)
    print("ready", flush=True)
    await server.serve_forever()


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    logging.basicConfig(level=logging.ERROR)
    try:
        asyncio.run(serve(sys.argv[1], int(sys.argv[2]), int(sys.argv[3])))
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
