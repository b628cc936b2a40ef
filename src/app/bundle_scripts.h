#pragma once

class DeviceRoot;

// Gives the bundle's two shell scripts their hidden names, the only names the
// package commands run: each shipped script is moved unless its hidden name
// already exists (then the shipped one stays where it is).
void hideBundleScripts(const DeviceRoot& root);
