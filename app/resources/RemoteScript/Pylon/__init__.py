# Pylon's control surface script for Ableton Live.
#
# Live imports this package from the "Remote Scripts" folder of its User Library and calls
# create_instance() when "Pylon" is chosen as a control surface. For now the script only announces
# itself in Live's log; it adds no controls and changes nothing in the Live set.
from __future__ import absolute_import

from .surface import PylonSurface


def create_instance(c_instance):
    return PylonSurface(c_instance)
