# -*- coding: utf-8 -*-
# The module runs kelvane-cli identify --json on the managed host (and with
# settings: true kelvane-cli read and show --json): who the modem is, and
# what it holds, passwords masked.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: info
short_description: What a Dalmarin modem is, and what it holds
description:
  - Runs C(kelvane-cli identify --json) on the managed host for the modem on a serial port,
    or for the modem that the local one dials, and returns its model, type and identification
    texts as the modem's HTML report shows them.
  - With I(settings) the modem's settings are read as well (C(kelvane-cli read), then
    C(kelvane-cli show --json)), passwords masked.
  - Changes nothing on the modem.
version_added: "2.10.0"
author: Dalmarin
extends_documentation_fragment:
  - kelvane.modems.connection
  - kelvane.modems.connection.remote
  - action_common_attributes
  - action_common_attributes.flow
  - action_common_attributes.actiongroups
attributes:
  check_mode:
    support: full
    details: The modem is only read, in check mode as well.
  diff_mode:
    support: none
  platform:
    platforms: posix
  action_group:
    support: full
    membership: [kelvane.modems.modems]
  action:
    support: none
  async:
    support: none
  bypass_host_loop:
    support: none
options:
  settings:
    description: Read the modem's settings too and return them in C(settings), passwords as C(********).
    type: bool
    default: false
notes:
  - I(port) is required.
seealso:
  - module: kelvane.modems.profile
  - module: kelvane.modems.firmware
"""

EXAMPLES = r"""
- name: What runs in the station
  kelvane.modems.info:
    port: /dev/ttyUSB0
  register: station

- name: Stations that need the new firmware
  ansible.builtin.debug:
    msg: "{{ inventory_hostname }} runs {{ station.modem.version }}"
  when: station.modem.version != "SW 3.15"

- name: The far modem's settings, through the local one
  kelvane.modems.info:
    port: /dev/ttyUSB1
    remote_number: "0401234567"
    password: "{{ vault_reservoir_password }}"
    settings: true
"""

RETURN = r"""
modem:
  description: Who the modem is, as C(kelvane-cli identify --json) prints it.
  returned: always
  type: dict
  contains:
    model:
      description: The model name.
      type: str
      sample: RM-40 485
    type:
      description: The model type (1 to 4).
      type: int
    article:
      description: The article number of the model table that the identification holds.
      type: str
      sample: 7730-03
    identification:
      description: The modem's identification answer (ATI9).
      type: str
    software_version:
      description: The report's "Software version".
      type: str
    version:
      description: The firmware's version (ATI3), as kelvane.modems.firmware compares it.
      type: str
      sample: SW 3.14
    adapter_version:
      description: The report's "Adapter version", with the hardware and DSP versions.
      type: str
    hardware:
      description: The hardware version of the adapter version text.
      type: str
      sample: "1.30"
    dsp:
      description: The DSP version of the adapter version text.
      type: str
      sample: "2.07"
    dip_switches:
      description: The report's "DIP Switches (Hex)", for the models that have them (else null).
      type: str
      sample: 01 00 00 01
  sample:
    model: RM-40 485
    type: 3
    article: 7730-03
    version: SW 3.14
settings:
  description: Every field of the modem's settings, named as C(kelvane-cli show) names them, passwords as C(********).
  returned: when I(settings) is true
  type: dict
  sample: {"BasicSettings.S0": 2, "RemoteSettings.RemotePassword": "********"}
"""

import json
import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kelvane.modems.plugins.module_utils.kelvane_cli import (
    REMOTE_RULES, PrivateFolder, connection_arguments, port_args, remote_args)


def run_json(module, command, password):
    rc, out, err = module.run_command(command, data=password)
    if rc != 0:
        module.fail_json(msg=err.strip() or "%s failed (exit %d)" % (" ".join(command[:2]), rc), rc=rc)
    try:
        return json.loads(out)
    except ValueError:
        module.fail_json(msg="%s printed no JSON" % " ".join(command[:2]), stdout=out)


def flat(node, prefix, out):
    """show --json's records as one dict of "Record.Field" names."""
    if isinstance(node, dict):
        for key, value in node.items():
            flat(value, prefix + "." + key if prefix else key, out)
    else:
        out[prefix] = node


def main():
    arguments = connection_arguments(remote=True, pool=False)
    arguments.update(settings=dict(type="bool", default=False))
    module = AnsibleModule(argument_spec=arguments, supports_check_mode=True, **REMOTE_RULES)
    cli = module.get_bin_path("kelvane-cli", required=True)
    remote, password = remote_args(module)
    connection = port_args(module) + remote
    result = dict(changed=False, modem=run_json(module, [cli, "identify", "--json"] + connection, password))
    if module.params["settings"]:
        folder = PrivateFolder("kelvane-info-")
        try:
            profile = os.path.join(folder.path, "modem.dat")
            rc, out, err = module.run_command([cli, "read", "-o", profile] + connection, data=password)
            if rc != 0:
                module.fail_json(msg=err.strip() or "kelvane-cli read failed (exit %d)" % rc, rc=rc, **result)
            shown = run_json(module, [cli, "show", profile, "--json"], None)
        finally:
            folder.remove()
        settings = {}
        flat(shown, "", settings)
        result["settings"] = settings
    module.exit_json(**result)


if __name__ == "__main__":
    main()
