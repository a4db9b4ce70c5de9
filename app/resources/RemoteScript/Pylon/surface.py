from __future__ import absolute_import

LOADED_MESSAGE = "Pylon control script loaded"

try:
    # Present inside Live only.
    from _Framework.ControlSurface import ControlSurface
except ImportError:
    ControlSurface = None


if ControlSurface is not None:

    class PylonSurface(ControlSurface):
        def __init__(self, c_instance):
            ControlSurface.__init__(self, c_instance)
            self.log_message(LOADED_MESSAGE)

else:

    class PylonSurface(object):
        """Stands in for Live's ControlSurface where Live's framework is not available."""

        def __init__(self, c_instance):
            self._c_instance = c_instance
            c_instance.log_message(LOADED_MESSAGE)

        def disconnect(self):
            self._c_instance = None
