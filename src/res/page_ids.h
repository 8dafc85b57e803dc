// Control and string identifiers used inside the page dialog templates.
#pragma once
