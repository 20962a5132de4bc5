"""Makes the catalogue oracle's modules (device layout, processes, frame client, catalogue
model) importable from here."""

import os
import sys

_FOLDER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                       "catalogue_oracle")
if _FOLDER not in sys.path:
    sys.path.append(_FOLDER)
