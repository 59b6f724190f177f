#include "KorvalisResource.h"

KorvalisResource::KorvalisResource(std::string name, uint32_t length)
    : name_(std::move(name)), length_(length) {}

KorvalisResource::~KorvalisResource() = default;
