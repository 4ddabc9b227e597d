# -*- coding: utf-8 -*-
# The options with which every module of kelvane.modems reaches a modem.

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):

    DOCUMENTATION = r"""
options:
  port:
    description:
      - The serial port of the modem (or of the local modem that dials), such as C(/dev/ttyUSB0).
      - A modem behind a serial device server is C(rfc2217://HOST:PORT) (the line settings are set
        through the server) or C(tcp://HOST:PORT) (the server's line settings hold).
    type: str
  baud:
    description: The speed of the serial port.
    type: int
    choices: [300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200]
  parity:
    description: The parity of the serial port, C(None), C(Odd) or C(Even) in any case.
    type: str
  data_bits:
    description: The data bits of the serial port.
    type: int
    choices: [7, 8]
  stop_bits:
    description: The stop bits of the serial port.
    type: int
    choices: [1, 2]
requirements:
  - C(kelvane-cli) on the managed host (package kelvane-cli)
"""

    # A far modem reached through the local one on the port.
    REMOTE = r"""
options:
  remote_number:
    description:
      - The telephone number the local modem dials to reach the modem to configure, as a quoted
        string of digits, blanks and the dial characters C(*), C(#), C(+), C(,), C(-), C(/), C(P),
        C(T), C(W) and parentheses.
      - 'A number is refused. Unquoted, YAML reads C(0401234567) as an octal number; write
        C(remote_number: "0401234567"). An INI inventory removes one level of quotes, so there
        write C(remote_number=''"0401234567"'').'
    type: raw
  password:
    description:
      - The remote configuration password. It is handed to C(kelvane-cli) on
        its standard input, never in its arguments or its environment, and
        never logged.
      - Mutually exclusive with I(password_file).
    type: str
  password_file:
    description:
      - The file on the managed host whose first line is the remote
        configuration password (readable by its owner only; a file others
        may read gets a warning). Without it or I(password) the environment
        variable C(KELVANE_PASSWORD) is used.
    type: path
"""

    # A far modem reached through whichever port of a pool is free.
    POOL = r"""
options:
  dialout_ports:
    description:
      - A pool of local modems that dial out; the far modem of I(remote_number) is reached through
        whichever of them is free (C(kelvane-cli --via PORT), once for each port).
      - A port of the pool runs one remote session at a time, also across separate C(kelvane-cli)
        processes such as the forks of one play; a task waits for a free port up to I(dialout_wait).
      - Mutually exclusive with I(port).
    type: list
    elements: str
  dialout_wait:
    description: How many seconds a far modem waits for a free port of I(dialout_ports) before the task fails.
    type: int
    default: 600
"""
