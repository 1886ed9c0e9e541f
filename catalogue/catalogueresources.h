#pragma once

namespace tovel {

class ResourceIndex;

// The index of the embedded catalogue (":/catalogue"), built on first use. Registers the
// resources first: a static library's resources are not registered by themselves.
const ResourceIndex &catalogueResources();

} // namespace tovel
