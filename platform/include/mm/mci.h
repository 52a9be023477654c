// The Media Control Interface.
#pragma once
