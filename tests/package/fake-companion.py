"""A stand-in companion for the package test: answers GET /status on 127.0.0.1:<port> with a status
document, and nothing else."""
import http.server
import json
import sys

STATUS = {
    "ableton": {"condition": "connected", "version": "12.1.5"},
    "bonjour": {"condition": "advertising"},
    "companion": {
        "abletonInstances": [], "clientCount": 1, "condition": "running",
        "host": {"addresses": ["127.0.0.1"], "hostname": "test"},
        "isAcceleratorAddonLoaded": True, "isAcceleratorAvailable": True,
        "permissions": {"accessibility": True, "automation": True}, "version": "1.0.0",
    },
}


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):  # noqa: N802 (the name http.server calls)
        body = json.dumps(STATUS).encode() if self.path == "/status" else b"{}"
        self.send_response(200 if self.path == "/status" else 404)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *arguments):
        pass


http.server.HTTPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
