"""Makes the save oracle's modules (sealed names, sealing, runs) and through them the catalogue
oracle's (device layout, processes, catalogue model) importable from here."""

import os
import sys

_E2E = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
for _name in ("save_oracle", "catalogue_oracle"):
    _folder = os.path.join(_E2E, _name)
    if _folder not in sys.path:
        sys.path.append(_folder)
